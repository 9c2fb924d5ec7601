#include "support/scene_builder.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "scene/markers.h"

namespace quorvex::testing {

Bytes Chunk(std::uint16_t m, const Bytes& body) {
  Bytes out;
  AppendMarker(out, m);
  AppendInt32(out, static_cast<std::int32_t>(body.size() + marker::kHeaderSize));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes NameChunk(std::uint16_t m, const ByteString& name) {
  Bytes body = ToBytes(name);
  body.push_back(0);
  return Chunk(m, body);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes ToBytes(const ByteString& text) {
  return Bytes(text.begin(), text.end());
}

namespace {

Bytes Floats(std::initializer_list<float> values) {
  Bytes out;
  for (float v : values) AppendFloat(out, v);
  return out;
}

}  // namespace

Bytes ObjectChunk(const SceneObject& o) {
  Bytes type;
  AppendUint32(type, o.type);
  Bytes rotation;
  AppendFloat(rotation, o.rotationA);
  AppendUint32(rotation, o.rotationB);
  AppendFloat(rotation, o.rotationC);
  AppendUint32(rotation, o.rotationD);
  Bytes body = Concat(
      {Chunk(marker::kObjectType, type), NameChunk(marker::kName, o.name),
       Chunk(marker::kTranslation, Floats({o.translation[0], o.translation[1], o.translation[2]})),
       Chunk(marker::kRotation, rotation),
       Chunk(marker::kSize, Floats({o.size[0], o.size[1], o.size[2]})),
       Chunk(marker::kFixedVector, Floats({-17.5f, -5.25f, 4.125f})),
       Chunk(marker::kSectorLink, NameChunk(marker::kName, "Primary sector"))});
  if (o.model) {
    const Bytes model = NameChunk(marker::kModel, *o.model);
    body.insert(body.end(), model.begin(), model.end());
  }
  return Chunk(marker::kObject, body);
}

Bytes DefinitionChunk(const Definition& d) {
  Bytes kind;
  AppendUint32(kind, d.kind);
  Bytes params;
  if (d.rawParams) {
    params = *d.rawParams;
  } else {
    params = d.paramsPrefix;
    if (d.script) {
      params.insert(params.end(), {0x01, 0x00, 0x00, 0x00, 0x00});
      AppendInt32(params, static_cast<std::int32_t>(d.script->size()));
      AppendText(params, *d.script);
    } else {
      params.insert(params.end(), {0x05, 0x00, 0x00, 0x00, 0x00});
    }
    params.insert(params.end(), {0x2F, 0x2F, 0x2F, 0x2F});
  }
  return Chunk(marker::kDefinition, Concat({NameChunk(marker::kDefinitionName, d.name),
                                            Chunk(marker::kDefinitionKind, kind),
                                            Chunk(marker::kDefinitionParams, params)}));
}

Bytes ScriptChunk(const StandaloneScript& s) {
  Bytes body;
  body.push_back(s.unreadByte);
  AppendInt32(body, static_cast<std::int32_t>(s.name.size()));
  AppendText(body, s.name);
  AppendInt32(body, static_cast<std::int32_t>(s.text.size()));
  AppendText(body, s.text);
  return Chunk(marker::kScript, body);
}

std::vector<Bytes> DefaultHeaderChunks() {
  Bytes version;
  AppendUint32(version, 0x0301);
  Bytes view = Floats({1.5f, 0.25f, 120.0f, 0.625f});
  return {Chunk(0x0002, version), Chunk(0x3011, view), NameChunk(0x3012, "mission camera")};
}

Bytes BuildScene(const SceneSpec& spec) {
  Bytes body;
  auto append = [&body](const Bytes& part) { body.insert(body.end(), part.begin(), part.end()); };
  for (const auto& chunk : spec.headerChunks) append(chunk);
  if (spec.withObjectsSection) {
    Bytes objects;
    for (const auto& o : spec.objects) {
      const Bytes chunk = ObjectChunk(o);
      objects.insert(objects.end(), chunk.begin(), chunk.end());
    }
    append(Chunk(marker::kObjectsSection, objects));
  }
  if (spec.withDefinitionSection) {
    Bytes defs;
    for (const auto& d : spec.definitions) {
      const Bytes chunk = DefinitionChunk(d);
      defs.insert(defs.end(), chunk.begin(), chunk.end());
    }
    append(Chunk(marker::kDefinitionSection, defs));
  }
  if (spec.withScriptSection) {
    Bytes scripts;
    for (const auto& s : spec.scripts) {
      const Bytes chunk = ScriptChunk(s);
      scripts.insert(scripts.end(), chunk.begin(), chunk.end());
    }
    append(Chunk(marker::kScriptSection, scripts));
  }
  for (const auto& chunk : spec.trailerChunks) append(chunk);
  return Chunk(spec.rootMarker, body);
}

SceneSpec DemoSceneSpec() {
  SceneSpec spec;
  spec.headerChunks = DefaultHeaderChunks();

  auto object = [](ByteString name, float x, float y, float z, float a, float c,
                   std::optional<ByteString> model, float sx = 1, float sy = 1, float sz = 1) {
    SceneObject o;
    o.name = std::move(name);
    o.translation[0] = x;
    o.translation[1] = y;
    o.translation[2] = z;
    o.rotationA = a;
    o.rotationC = c;
    o.size[0] = sx;
    o.size[1] = sy;
    o.size[2] = sz;
    o.model = std::move(model);
    return o;
  };
  spec.objects = {
      object("Oskar", 12.5f, 0.0f, -33.25f, 0.0f, 1.0f, "Oskar.i3d"),
      object("Brenna", 14.0f, 0.0f, -31.5f, 0.70710677f, 0.70710677f, "Brenna.i3d"),
      object("Vel", -8.75f, 0.0f, 15.0f, 0.5f, 0.8660254f, "Vel.i3d"),
      object("Waitress", 3.0f, 0.5f, 7.5f, 0.0f, 1.0f, "Sarah2LOW.i3d"),
      object("Cop01", 40.0f, 0.0f, 2.5f, -0.25881904f, 0.9659258f, "PoliceMan01.i3d"),
      object("Wren_Six", 22.0f, 0.1f, -12.0f, 0.0f, 1.0f, "blackha00.i3d"),
      object("DeliveryTruck", 60.5f, 0.1f, -40.0f, 0.17364818f, 0.9848077f, "Truck02.i3d"),
      object("PoliceCar1", 75.0f, 0.1f, 5.0f, 0.0f, 1.0f, "polimTud00.i3d"),
      object("Barrel01", 5.5f, 0.0f, -2.0f, 0.0f, 1.0f, "xbarel 2.i3d", 1.0f, 1.5f, 1.0f),
      object("Crate", 6.0f, 0.0f, -3.5f, 0.0f, 1.0f, "crate01.i3d", 0.5f, 0.5f, 0.5f),
      object("TriggerBox", 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, std::nullopt, 4.0f, 3.0f, 4.0f),
  };

  auto def = [](ByteString name, std::uint32_t kind, std::optional<ByteString> script) {
    Definition d;
    d.name = std::move(name);
    d.kind = kind;
    d.script = std::move(script);
    return d;
  };
  spec.definitions = {
      def("Oskar", 27,
          "use_obj 2\r\nuse_num 4\r\nfetch_obj 0, \"Oskar\"\r\n"
          "point 1\r\n  idle 500\r\n  await_signal 0\r\njump 1\r\nfin\r\n"),
      def("Brenna", 27,
          "// Brenna follows the player to the car\r\nuse_obj 1\r\nfetch_obj 0, \"Brenna\"\r\n"
          "set_obj_mode 0, 1\r\nshadow 0, \"Oskar\"\r\nfin\r\n"),
      def("Vel", 27, std::nullopt),
      def("Waitress", 27,
          "use_num 2\r\npoint 10\r\n  assign 0, 1.5\r\n  idle 2000\r\njump 10\r\nfin\r\n"),
      def("Cop01", 27, "// patrol\r\nuse_obj 1\r\nfetch_obj 0, \"Cop01\"\r\nfin\r\n"),
      def("Wren_Six", 4, std::nullopt),
      def("DeliveryTruck", 4, "use_obj 1\r\nfetch_obj 0, \"DeliveryTruck\"\r\nfin\r\n"),
      def("PoliceCar1", 4, std::nullopt),
      def("Barrel01", 35, std::nullopt),
      def("StreetLamp", 6, std::nullopt),
      def("Gate", 18, std::nullopt),
      def("Crate", 35, "// a crate that breaks\r\nfin\r\n"),
  };

  spec.scripts = {
      {"init",
       "// mission start\r\nuse_obj 4\r\nuse_num 8\r\nfetch_obj 0, \"Oskar\"\r\n"
       "fetch_obj 1, \"Brenna\"\r\nshow_arrow 0\r\ndisplay_goal_entry 1\r\nfin\r\n",
       0},
      {"timer",
       "use_num 1\r\nassign 0, 120\r\npoint 1\r\n  idle 1000\r\n  assign 0, num[0] - 1\r\n"
       "  if num[0] = 0, 2, 1\r\npoint 2\r\n  task_failed\r\nfin\r\n",
       0},
      {"empty_script", "", 0},
      {"outro", "// the end\r\nfade_ms 2000\r\ntask_clear\r\nfin\r\n", 0},
  };
  Bytes trailer;
  AppendUint32(trailer, 7);
  spec.trailerChunks = {Chunk(0xAE40, trailer)};
  return spec;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes Applied(const EditPlan& plan, std::span<const std::uint8_t> original) {
  Bytes out;
  out.reserve(static_cast<std::size_t>(plan.newLength()));
  std::uint64_t cursor = 0;
  for (const auto& e : plan.edits()) {
    out.insert(out.end(), original.begin() + static_cast<std::ptrdiff_t>(cursor),
               original.begin() + static_cast<std::ptrdiff_t>(e.offset));
    out.insert(out.end(), e.insert.begin(), e.insert.end());
    cursor = e.offset + e.removeCount;
  }
  out.insert(out.end(), original.begin() + static_cast<std::ptrdiff_t>(cursor), original.end());
  return out;
}

}  // namespace quorvex::testing
