#include "common/scene_generator.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace quorvex::bench {
namespace {

// splitmix64: tiny, fast and the same everywhere (the standard distributions are not).
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. bound - 1.
  int Below(int bound) { return static_cast<int>(Next() % static_cast<std::uint64_t>(bound)); }
  // 0.0 <= x < 1.0
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  bool Chance(double p) { return Unit() < p; }
  float Coordinate(float range) { return static_cast<float>((Unit() * 2.0 - 1.0) * range); }

 private:
  std::uint64_t state_;
};

enum class Role { Person, Car, Thing };

struct Kind {
  Role role;
  std::uint32_t definitionKind;
  const char* prefix;
};

const Kind kKinds[] = {
    {Role::Person, 27, "Gangster"}, {Role::Person, 27, "Civil"}, {Role::Person, 27, "Cop"},
    {Role::Car, 4, "Car"},          {Role::Car, 4, "Truck"},     {Role::Thing, 35, "Crate"},
    {Role::Thing, 35, "Barrel"},    {Role::Thing, 35, "Door"},   {Role::Thing, 35, "Lamp"},
};

const char* const kPersonModels[] = {"Oskar.i3d",     "Brenna.i3d",      "Vel.i3d",
                                     "Sarah2LOW.i3d", "PoliceMan01.i3d", "bruiser_03.i3d",
                                     "towns_m12.i3d", "towns_w04.i3d"};
const char* const kCarModels[] = {"blackha00.i3d", "Truck02.i3d", "polimTud00.i3d",
                                  "taxi01.i3d",    "wren_v8.i3d", "hauler00.i3d"};
const char* const kThingModels[] = {"xbarel 2.i3d",    "crate01.i3d", "door_wood3.i3d",
                                    "lamp_street.i3d", "chest01.i3d", "box big.i3d"};

template <std::size_t N>
const char* Pick(Random& random, const char* const (&list)[N]) {
  return list[random.Below(static_cast<int>(N))];
}

std::string ModelFor(Role role, Random& random) {
  switch (role) {
    case Role::Person:
      return Pick(random, kPersonModels);
    case Role::Car:
      return Pick(random, kCarModels);
    case Role::Thing:
      return Pick(random, kThingModels);
  }
  return "dummy.i3d";
}

// An object's name: prefix, number, now and then a blank or a Windows-1252 letter (0xE9, "é").
ByteString NameFor(const Kind& kind, int number, Random& random) {
  ByteString name = kind.prefix;
  if (random.Chance(0.05)) name += " ";
  if (random.Chance(0.03)) name += "\xE9";
  name += "_" + std::to_string(number);
  return name;
}

// A line of mission script, CR LF at its end.
std::string ScriptLine(Random& random, const std::vector<ByteString>& names) {
  const auto& who = names[static_cast<std::size_t>(random.Below(static_cast<int>(names.size())))];
  const int n = random.Below(64);
  switch (random.Below(16)) {
    case 0:
      return "// " + who + " waits for the player near the garage\r\n";
    case 1:
      return "use_obj " + std::to_string(1 + n % 8) + "\r\n";
    case 2:
      return "use_num " + std::to_string(1 + n % 16) + "\r\n";
    case 3:
      return "fetch_obj " + std::to_string(n % 8) + ", \"" + who + "\"\r\n";
    case 4:
      return "point " + std::to_string(n) + "\r\n";
    case 5:
      return "  idle " + std::to_string(100 * (1 + n)) + "\r\n";
    case 6:
      return "jump " + std::to_string(n) + "\r\n";
    case 7:
      return "  assign " + std::to_string(n % 16) + ", " + std::to_string(n) + ".5\r\n";
    case 8:
      return "  if num[" + std::to_string(n % 16) + "] = 0, " + std::to_string(n + 1) + ", " +
             std::to_string(n) + "\r\n";
    case 9:
      return "  await_signal " + std::to_string(n % 4) + "\r\n";
    case 10:
      return "  set_obj_mode " + std::to_string(n % 8) + ", 1\r\n";
    case 11:
      return "  shadow " + std::to_string(n % 8) + ", \"Oskar\"\r\n";
    case 12:
      // Scripts name model files too; the model listing finds those as well.
      if (random.Chance(0.3))
        return "  spawn_thing " + std::to_string(n % 8) + ", \"" + Pick(random, kThingModels) +
               "\"\r\n";
      return "  show_arrow " + std::to_string(n % 4) + "\r\n";
    case 13:
      return "  play_clip \"mission" + std::to_string(n) + ".wav\"\r\n";
    case 14:
      return "  show_part " + std::to_string(n % 8) + ", 1\r\n";
    default:
      return "  display_goal_entry " + std::to_string(n % 12) + "\r\n";
  }
}

// A script text of exactly `size` bytes that starts with a letter (the catalogue takes a
// definition's script only when its first byte is 0x0A or more).
ByteString ScriptText(std::size_t size, Random& random, const std::vector<ByteString>& names) {
  static const std::string kEnd = "fin\r\n";
  ByteString text;
  if (size == 0) return text;
  text.reserve(size);
  while (true) {
    std::string line = ScriptLine(random, names);
    if (text.size() + line.size() + kEnd.size() > size) break;
    text += line;
  }
  std::size_t room = size - text.size();
  if (room >= kEnd.size() + 4) {
    // A comment line fills the gap exactly.
    const std::size_t fill = room - kEnd.size();
    text += "//" + std::string(fill - 4, '-') + "\r\n";
    room = size - text.size();
  }
  if (room >= kEnd.size()) {
    text += std::string(room - kEnd.size(), ' ') + kEnd;
  } else {
    text += std::string(room, 'x');
  }
  if (text[0] == ' ') text[0] = 'x';
  return text;
}

testing::SceneObject ObjectFor(const ByteString& name, Role role, Random& random) {
  testing::SceneObject o;
  o.name = name;
  for (float& t : o.translation) t = random.Coordinate(800.0f);
  o.translation[1] = random.Coordinate(20.0f);
  const double angle = random.Unit() * 3.14159265358979;
  o.rotationA = static_cast<float>(std::sin(angle / 2));
  o.rotationC = static_cast<float>(std::cos(angle / 2));
  o.rotationB = random.Chance(0.5) ? 0u : 0x3F800000u;
  o.rotationD = 0;
  const float scale = role == Role::Thing ? 0.5f + static_cast<float>(random.Unit()) : 1.0f;
  for (float& s : o.size) s = scale;
  o.type = role == Role::Car ? 4 : role == Role::Person ? 9 : 12;
  if (!random.Chance(0.08)) o.model = ModelFor(role, random);
  return o;
}

// Parameters in front of the script pattern. Now and then a 01 00 00 00 00 whose would-be script
// starts with a byte below 0x0A: the catalogue must skip it and keep searching.
Bytes ParamsPrefix(Random& random) {
  Bytes prefix = {0x06, 0x80, 0x00, 0x00, 0x00};
  if (random.Chance(0.05)) {
    prefix.insert(prefix.end(), {0x01, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03});
  }
  return prefix;
}

}  // namespace

GeneratorSpec SmallSceneSpec() {
  GeneratorSpec spec;
  spec.targetBytes = 1u << 20;
  spec.rows = 400;
  spec.standaloneScripts = 40;
  spec.extraObjects = 300;
  spec.unlistedDefinitions = 20;
  spec.seed = 0x51;
  return spec;
}

GeneratorSpec MediumSceneSpec() {
  GeneratorSpec spec;
  spec.targetBytes = 16u << 20;
  spec.rows = 5000;
  spec.standaloneScripts = 400;
  spec.extraObjects = 3000;
  spec.unlistedDefinitions = 200;
  spec.seed = 0x16;
  return spec;
}

GeneratorSpec LargeSceneSpec() {
  GeneratorSpec spec;
  spec.targetBytes = 64u << 20;
  spec.rows = 5000;
  spec.standaloneScripts = 500;
  spec.extraObjects = 7000;
  spec.unlistedDefinitions = 300;
  spec.seed = 0x64;
  return spec;
}

GeneratorSpec FiftyMegabyteSceneSpec() {
  GeneratorSpec spec = LargeSceneSpec();
  spec.targetBytes = 50'000'000;
  spec.seed = 0x50;
  return spec;
}

GeneratorSpec HugeSceneSpec() {
  GeneratorSpec spec = LargeSceneSpec();
  spec.targetBytes = 256u << 20;
  spec.seed = 0x256;
  return spec;
}

testing::SceneSpec GenerateSceneSpec(const GeneratorSpec& spec) {
  Random random(spec.seed);
  testing::SceneSpec scene;
  scene.headerChunks = testing::DefaultHeaderChunks();

  const int definitions = std::max(0, spec.rows - spec.standaloneScripts);
  const int total = definitions + spec.unlistedDefinitions;
  std::vector<ByteString> names;
  std::vector<Role> roles;
  std::vector<std::size_t> scripted;  // definitions that get a script text (indices)

  // Definitions: listed ones, with kind 6 and 18 ones spread among them.
  int unlistedLeft = spec.unlistedDefinitions;
  for (int i = 0; i < total; ++i) {
    const Kind& kind = kKinds[random.Below(static_cast<int>(std::size(kKinds)))];
    const int remaining = total - i;
    const bool unlisted = unlistedLeft > 0 && random.Below(remaining) < unlistedLeft;
    testing::Definition d;
    d.name = NameFor(kind, i, random);
    d.kind = unlisted ? (random.Chance(0.5) ? 6u : 18u) : kind.definitionKind;
    d.paramsPrefix = ParamsPrefix(random);
    if (unlisted) {
      --unlistedLeft;
    } else if (!random.Chance(0.15)) {
      d.script = ByteString();
      scripted.push_back(scene.definitions.size());
    }
    names.push_back(d.name);
    roles.push_back(kind.role);
    scene.definitions.push_back(std::move(d));
  }

  // Scene objects: most definitions have their object; extra objects without definition follow
  // the groups they belong to.
  const double extraPerDefinition =
      total > 0 ? static_cast<double>(spec.extraObjects) / total : 0.0;
  double extraDue = 0;
  for (std::size_t i = 0; i < scene.definitions.size(); ++i) {
    if (random.Chance(0.9)) scene.objects.push_back(ObjectFor(names[i], roles[i], random));
    for (extraDue += extraPerDefinition; extraDue >= 1.0; extraDue -= 1.0) {
      scene.objects.push_back(
          ObjectFor("Static_" + std::to_string(scene.objects.size()), Role::Thing, random));
    }
  }

  // Standalone scripts; a few share their name with an object, one is empty (an unticked row).
  for (int i = 0; i < spec.standaloneScripts; ++i) {
    testing::StandaloneScript s;
    s.name = (i % 50 == 7 && !names.empty())
                 ? names[static_cast<std::size_t>(random.Below(static_cast<int>(names.size())))]
                 : "script_" + std::to_string(i);
    s.unreadByte = static_cast<std::uint8_t>(random.Below(3));
    scene.scripts.push_back(std::move(s));
  }

  Bytes trailer;
  AppendUint32(trailer, 7);
  scene.trailerChunks = {testing::Chunk(0xAE40, trailer)};

  // Script sizes: log-uniform weights spread the bytes the target leaves over the scripts, so
  // most are a few hundred bytes to a few KiB and some run to tens of KiB.
  const auto fixedBytes = static_cast<std::uint64_t>(testing::BuildScene(scene).size());
  std::vector<ByteString*> texts;
  for (std::size_t index : scripted) texts.push_back(&*scene.definitions[index].script);
  for (std::size_t i = 0; i < scene.scripts.size(); ++i) {
    if (i != 3) texts.push_back(&scene.scripts[i].text);  // script_3 stays empty
  }
  if (texts.empty()) return scene;
  const std::uint64_t budget = spec.targetBytes > fixedBytes ? spec.targetBytes - fixedBytes : 0;
  std::vector<double> weights;
  double sum = 0;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    weights.push_back(std::exp(random.Unit() * std::log(200.0)));
    sum += weights.back();
  }
  std::uint64_t given = 0;
  std::vector<std::size_t> sizes;
  for (double w : weights) {
    sizes.push_back(static_cast<std::size_t>(static_cast<double>(budget) * w / sum));
    given += sizes.back();
  }
  sizes.back() += static_cast<std::size_t>(budget - given);
  for (std::size_t i = 0; i < texts.size(); ++i) *texts[i] = ScriptText(sizes[i], random, names);
  return scene;
}

Bytes GenerateScene(const GeneratorSpec& spec) {
  return testing::BuildScene(GenerateSceneSpec(spec));
}

}  // namespace quorvex::bench
