#include "support/scene_generator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

namespace quorvex::testing {
namespace {

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
// Marker-free scenes: "lamp" names no model file, so the object scan takes no model from it.
const char* const kMarkerFreeModels[] = {"Oskar.i3d", "xbarel 2.i3d", "crate01.i3d", "lamp"};

// Hostile names repeat: several rows and objects share each of them, one is empty.
const char* const kHostileNames[] = {"Oskar", "Brenna", "Vel", "Car", "Box", "init", "", "T"};

template <std::size_t N>
const char* Pick(Random& random, const char* const (&list)[N]) {
  return list[random.Below(static_cast<int>(N))];
}

// ---- Mission content ----

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
ByteString MissionName(const Kind& kind, int number, Random& random) {
  ByteString name = kind.prefix;
  if (random.Chance(0.05)) name += " ";
  if (random.Chance(0.03)) name += "\xE9";
  name += "_" + std::to_string(number);
  return name;
}

// A line of mission script, CR LF at its end.
std::string ScriptLine(Random& random, const std::vector<ByteString>& names) {
  const ByteString who =
      names.empty() ? ByteString("Oskar")
                    : names[static_cast<std::size_t>(random.Below(static_cast<int>(names.size())))];
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
ByteString MissionText(std::size_t size, Random& random, const std::vector<ByteString>& names) {
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

// Parameters in front of the script pattern. Now and then a 01 00 00 00 00 whose would-be script
// starts with a byte below 0x0A: the catalogue must skip it and keep searching.
Bytes MissionParamsPrefix(Random& random) {
  Bytes prefix = {0x06, 0x80, 0x00, 0x00, 0x00};
  if (random.Chance(0.05)) {
    prefix.insert(prefix.end(), {0x01, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03});
  }
  return prefix;
}

// ---- Hostile content ----

// `length` bytes of pieces the scans look for: marker pairs, script patterns, ".i3d" in both
// cases, quotes and the 0x16 byte that ends a model name, script lines. The last piece is cut.
ByteString HostileText(Random& random, std::size_t length) {
  static const std::string kPieces[] = {"use_obj 1\r\n",
                                        "fetch_obj 0, \"Oskar\"\r\n",
                                        "fin\r\n",
                                        "idle 500\r\n",
                                        "point 1\r\n",
                                        "// comment\r\n",
                                        "xbarel 2.i3d",
                                        ".i3d",
                                        ".I3D",
                                        "\x50\xAE",
                                        "\x51\xAE",
                                        "\x20\xAE",
                                        "\x21\xAE",
                                        std::string("\x01\x00\x00\x00\x00", 5),
                                        std::string("\x05\x00\x00\x00\x00", 5),
                                        "\x12\x20",
                                        "\"",
                                        "\x16",
                                        "a",
                                        std::string(1, '\0'),
                                        "\xAE",
                                        "model.i3d",
                                        " "};
  ByteString text;
  while (text.size() < length) text += kPieces[random.Below(static_cast<int>(std::size(kPieces)))];
  text.resize(length);
  return text;
}

float HostileFloat(Random& random) {
  switch (random.Below(8)) {
    case 0:
      return 0.0f;
    case 1:
      return -0.0f;
    case 2:
      return 0.1f;
    case 3:
      return std::numeric_limits<float>::quiet_NaN();
    case 4:
      return std::numeric_limits<float>::infinity();
    case 5:
      return 1e-45f;
    default:
      return static_cast<float>(random.Below(2001) - 1000) / 8.0f;
  }
}

// ---- the generator ----

class Generator {
 public:
  explicit Generator(const GeneratorSpec& spec) : spec_(spec), random_(spec.seed) {}

  SceneSpec run() {
    scene_.headerChunks = DefaultHeaderChunks();
    if (hostile()) {
      if (random_.Below(4) == 0) scene_.headerChunks.clear();
      scene_.withObjectsSection = random_.Below(5) != 0;
      scene_.withDefinitionSection = random_.Below(6) != 0;
      scene_.withScriptSection = random_.Below(6) != 0;
    }
    addDefinitions();
    addObjects();
    addStandaloneScripts();
    addTrailer();
    fillTexts();
    return std::move(scene_);
  }

 private:
  bool mission() const { return spec_.content == SceneContent::Mission; }
  bool hostile() const { return spec_.content == SceneContent::Hostile; }
  bool markerFree() const { return spec_.content == SceneContent::MarkerFree; }

  // A marker-free name, unique regardless of letter case by its number.
  ByteString freshName() {
    ByteString name = "g" + std::to_string(freshNames_++) + "_";
    name += MarkerFreeText(random_, static_cast<std::size_t>(random_.Below(12)));
    std::replace(name.begin(), name.end(), '\r', 'r');
    std::replace(name.begin(), name.end(), '\n', 'n');
    return name;
  }

  ByteString definitionName(const Kind& kind, int number) {
    if (hostile()) return Pick(random_, kHostileNames);
    if (markerFree()) return freshName();
    return MissionName(kind, number, random_);
  }

  std::uint32_t unlistedKind() {
    if (hostile()) {
      static const std::uint32_t kinds[] = {6, 18, 0x106, 0x112};  // the low byte counts
      return kinds[random_.Below(4)];
    }
    return random_.Chance(0.5) ? 6u : 18u;
  }

  // The parameter bytes in front of the script pattern.
  void chooseParamsPrefix(Definition& d) {
    if (mission()) {
      d.paramsPrefix = MissionParamsPrefix(random_);
    } else if (hostile() && random_.Below(4) == 0) {
      d.paramsPrefix = ToBytes(HostileText(random_, static_cast<std::size_t>(random_.Below(12))));
    }
  }

  // Whether a listed definition gets a script text (filled in later); hostile definitions may
  // get a would-be script or raw parameters instead.
  bool chooseScript(Definition& d, bool first) {
    if (mission()) return !random_.Chance(0.15);
    if (markerFree()) return first || random_.Chance(0.5);
    switch (random_.Below(5)) {
      case 0:
        return false;  // 05 00 00 00 00
      case 1:
        d.script = "\x07low first byte";  // a byte below 0x0A first: no script
        return false;
      case 2:
        d.rawParams = ToBytes(HostileText(random_, static_cast<std::size_t>(random_.Below(40))));
        return false;
      default:
        return true;
    }
  }

  // Definitions: listed ones, with the unlisted ones spread among them.
  void addDefinitions() {
    const int definitions = std::max(0, spec_.rows - spec_.standaloneScripts);
    const int total = definitions + spec_.unlistedDefinitions;
    int unlistedLeft = spec_.unlistedDefinitions;
    for (int i = 0; i < total; ++i) {
      const Kind& kind = kKinds[random_.Below(static_cast<int>(std::size(kKinds)))];
      const int remaining = total - i;
      // Marker-free scenes begin with a listed definition (with a script, see below).
      const bool first = markerFree() && i == 0;
      const bool unlisted = !first && unlistedLeft > 0 && random_.Below(remaining) < unlistedLeft;
      Definition d;
      d.name = definitionName(kind, i);
      d.kind = unlisted ? unlistedKind() : kind.definitionKind;
      if (hostile() && !unlisted && random_.Below(8) == 0) d.kind = 9;
      chooseParamsPrefix(d);
      if (unlisted) {
        --unlistedLeft;
      } else if (chooseScript(d, first)) {
        d.script = ByteString();
        scripted_.push_back(scene_.definitions.size());
      }
      definitionNames_.push_back(d.name);
      roles_.push_back(kind.role);
      scene_.definitions.push_back(std::move(d));
    }
  }

  SceneObject objectFor(const ByteString& name, Role role) {
    SceneObject o;
    o.name = name;
    o.type = role == Role::Car ? 4 : role == Role::Person ? 9 : 12;
    if (hostile()) {
      for (float& t : o.translation) t = HostileFloat(random_);
      for (float& s : o.size) s = HostileFloat(random_);
      o.rotationA = HostileFloat(random_);
      o.rotationB = static_cast<std::uint32_t>(random_.Next());
      o.rotationC = HostileFloat(random_);
      if (random_.Below(4) != 0) {
        o.model = HostileText(random_, static_cast<std::size_t>(random_.Below(12))) +
                  (random_.Chance(0.5) ? "car.i3d" : "x.I3D");
      }
      return o;
    }
    if (markerFree()) {
      for (float& t : o.translation) t = random_.Coordinate(5000.0f);
      o.rotationA = random_.Coordinate(5000.0f);
      o.rotationB = static_cast<std::uint32_t>(random_.Next());
      o.rotationC = random_.Coordinate(5000.0f);
      o.rotationD = static_cast<std::uint32_t>(random_.Next());
      for (float& s : o.size) s = random_.Coordinate(5000.0f);
      if (random_.Below(5) != 0) o.model = Pick(random_, kMarkerFreeModels);
      return o;
    }
    for (float& t : o.translation) t = random_.Coordinate(800.0f);
    o.translation[1] = random_.Coordinate(20.0f);
    const double angle = random_.Unit() * 3.14159265358979;
    o.rotationA = static_cast<float>(std::sin(angle / 2));
    o.rotationC = static_cast<float>(std::cos(angle / 2));
    o.rotationB = random_.Chance(0.5) ? 0u : 0x3F800000u;
    o.rotationD = 0;
    const float scale = role == Role::Thing ? 0.5f + static_cast<float>(random_.Unit()) : 1.0f;
    for (float& s : o.size) s = scale;
    if (!random_.Chance(0.08)) o.model = ModelFor(role, random_);
    return o;
  }

  ByteString extraObjectName() {
    if (hostile()) return Pick(random_, kHostileNames);
    if (markerFree()) return freshName();
    return "Static_" + std::to_string(scene_.objects.size());
  }

  // Scene objects: most definitions have their object; extra objects without definition follow
  // the groups they belong to.
  void addObjects() {
    const int total = static_cast<int>(scene_.definitions.size());
    const double extraPerDefinition =
        total > 0 ? static_cast<double>(spec_.extraObjects) / total : 0.0;
    double extraDue = 0;
    for (std::size_t i = 0; i < scene_.definitions.size(); ++i) {
      if (random_.Chance(0.9)) scene_.objects.push_back(objectFor(definitionNames_[i], roles_[i]));
      for (extraDue += extraPerDefinition; extraDue >= 1.0; extraDue -= 1.0) {
        scene_.objects.push_back(objectFor(extraObjectName(), Role::Thing));
      }
    }
  }

  // Standalone scripts; in missions a few share their name with an object.
  void addStandaloneScripts() {
    for (int i = 0; i < spec_.standaloneScripts; ++i) {
      StandaloneScript s;
      if (hostile()) {
        s.name = Pick(random_, kHostileNames);
        s.unreadByte = random_.Below(3) == 0 ? 0x51 : 0x00;
      } else if (markerFree()) {
        s.name = freshName();
      } else {
        s.name = (i % 50 == 7 && !definitionNames_.empty())
                     ? definitionNames_[static_cast<std::size_t>(
                           random_.Below(static_cast<int>(definitionNames_.size())))]
                     : "script_" + std::to_string(i);
        s.unreadByte = static_cast<std::uint8_t>(random_.Below(3));
      }
      scene_.scripts.push_back(std::move(s));
    }
  }

  void addTrailer() {
    if (hostile()) {
      if (random_.Below(3) == 0) {
        scene_.trailerChunks.push_back(Chunk(
            0xAE40, ToBytes(HostileText(random_, static_cast<std::size_t>(random_.Below(24))))));
      }
      return;
    }
    Bytes trailer;
    AppendUint32(trailer, 7);
    scene_.trailerChunks = {Chunk(0xAE40, trailer)};
  }

  // A text's length when the scene has no target length.
  std::size_t drawnLength(bool standalone) {
    if (hostile()) return static_cast<std::size_t>(random_.Below(48));
    if (markerFree()) {
      if (!standalone) return static_cast<std::size_t>(random_.Below(300));
      return random_.Below(6) == 0 ? 0 : static_cast<std::size_t>(random_.Below(600));
    }
    return 40 + static_cast<std::size_t>(random_.Below(4000));
  }

  ByteString text(std::size_t size) {
    if (hostile()) return HostileText(random_, size);
    if (markerFree()) return MarkerFreeText(random_, size);
    return MissionText(size, random_, definitionNames_);
  }

  // Script texts: with a target length, log-uniform weights spread the bytes the rest leaves
  // over the scripts, so most are a few hundred bytes to a few KiB and some run to tens of KiB.
  // Standalone script 3 stays empty (an unticked row).
  void fillTexts() {
    std::vector<ByteString*> texts;
    std::vector<bool> standalone;
    for (std::size_t index : scripted_) {
      texts.push_back(&*scene_.definitions[index].script);
      standalone.push_back(false);
    }
    for (std::size_t i = 0; i < scene_.scripts.size(); ++i) {
      if (i == 3) continue;
      texts.push_back(&scene_.scripts[i].text);
      standalone.push_back(true);
    }
    if (texts.empty()) return;
    std::vector<std::size_t> sizes;
    if (spec_.targetBytes > 0) {
      const auto fixedBytes = static_cast<std::uint64_t>(BuildScene(scene_).size());
      const std::uint64_t budget =
          spec_.targetBytes > fixedBytes ? spec_.targetBytes - fixedBytes : 0;
      std::vector<double> weights;
      double sum = 0;
      for (std::size_t i = 0; i < texts.size(); ++i) {
        weights.push_back(std::exp(random_.Unit() * std::log(200.0)));
        sum += weights.back();
      }
      std::uint64_t given = 0;
      for (double w : weights) {
        sizes.push_back(static_cast<std::size_t>(static_cast<double>(budget) * w / sum));
        given += sizes.back();
      }
      sizes.back() += static_cast<std::size_t>(budget - given);
    } else {
      for (std::size_t i = 0; i < texts.size(); ++i) sizes.push_back(drawnLength(standalone[i]));
    }
    for (std::size_t i = 0; i < texts.size(); ++i) *texts[i] = text(sizes[i]);
    // The first row of a marker-free scene has a script that the catalogue takes.
    if (markerFree() && !scene_.definitions.empty() && scene_.definitions[0].script) {
      ByteString& first = *scene_.definitions[0].script;
      if (first.empty()) {
        first = "L";
      } else {
        first[0] = 'L';
      }
    }
  }

  const GeneratorSpec& spec_;
  Random random_;
  SceneSpec scene_;
  std::vector<ByteString> definitionNames_;  // definition names, in order
  std::vector<Role> roles_;
  std::vector<std::size_t> scripted_;  // definitions that get a script text (indices)
  int freshNames_ = 0;                 // marker-free names handed out
};

// A short file of the bytes that markers, patterns and model names are made of.
Bytes NoiseBytes(const GeneratorSpec& spec) {
  static const std::uint8_t kAlphabet[] = {0x00, 0x40, 0x50, 0x51, 0x20, 0x21, 0xAE, 0x01,
                                           0x05, 0x07, 0x0A, '.',  'i',  '3',  'd',  'x'};
  Random random(spec.seed);
  Bytes bytes(static_cast<std::size_t>(spec.targetBytes));
  for (auto& b : bytes) b = kAlphabet[random.Below(static_cast<int>(std::size(kAlphabet)))];
  return bytes;
}

void Mutate(Bytes& bytes, Random& random, int count) {
  for (int m = 0; m < count && !bytes.empty(); ++m) {
    const std::size_t at = static_cast<std::size_t>(random.Next() % bytes.size());
    switch (random.Below(6)) {
      case 0:
        bytes[at] = static_cast<std::uint8_t>(random.Next());
        break;
      case 1: {  // a marker planted
        static const std::uint8_t lows[] = {0x20, 0x21, 0x50, 0x51, 0x00};
        bytes[at] = lows[random.Below(5)];
        if (at + 1 < bytes.size()) bytes[at + 1] = bytes[at] == 0x00 ? 0x40 : 0xAE;
        break;
      }
      case 2: {  // a 32-bit field overwritten
        static const std::int32_t values[] = {
            0, -1, -7, 1, 6, 7, 0x7FFFFFFF, std::numeric_limits<std::int32_t>::min(), 100000, 3};
        const auto v = static_cast<std::uint32_t>(values[random.Below(10)]);
        for (std::size_t i = 0; i < 4 && at + i < bytes.size(); ++i)
          bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        break;
      }
      case 3:  // cut short
        bytes.resize(static_cast<std::size_t>(random.Next() % (bytes.size() + 1)));
        break;
      case 4: {  // a script pattern planted
        const std::uint8_t pattern[] = {static_cast<std::uint8_t>(random.Chance(0.5) ? 0x01 : 0x05),
                                        0, 0, 0, 0};
        for (std::size_t i = 0; i < 5 && at + i < bytes.size(); ++i) bytes[at + i] = pattern[i];
        break;
      }
      default: {  // ".i3d" planted
        const char* text = ".i3d";
        for (std::size_t i = 0; i < 4 && at + i < bytes.size(); ++i)
          bytes[at + i] = static_cast<std::uint8_t>(text[i]);
        break;
      }
    }
  }
}

// The stream that draws a preset's shape or a scene's damage, apart from the one that draws its
// content.
constexpr std::uint64_t kShapeStream = 0x5348415045ull;
constexpr std::uint64_t kDamageStream = 0x44414D414745ull;

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

GeneratorSpec HugeSceneSpec() {
  GeneratorSpec spec = LargeSceneSpec();
  spec.targetBytes = 256u << 20;
  spec.seed = 0x256;
  return spec;
}

GeneratorSpec FiftyMegabyteSceneSpec() {
  GeneratorSpec spec = LargeSceneSpec();
  spec.targetBytes = 50'000'000;
  spec.seed = 0x50;
  return spec;
}

GeneratorSpec HostileSceneSpec(std::uint64_t seed) {
  Random shape(seed ^ kShapeStream);
  GeneratorSpec spec;
  spec.seed = seed;
  spec.content = SceneContent::Hostile;
  spec.targetBytes = 0;
  spec.standaloneScripts = shape.Below(5);
  spec.rows = shape.Below(7) + spec.standaloneScripts;
  spec.unlistedDefinitions = shape.Below(3);
  spec.extraObjects = shape.Below(3);
  spec.mutations = shape.Below(4);
  if (shape.Below(10) == 0) {
    spec.content = SceneContent::Noise;
    spec.targetBytes = static_cast<std::uint64_t>(shape.Below(48));
    spec.mutations = 0;
  }
  return spec;
}

GeneratorSpec MarkerFreeSceneSpec(std::uint64_t seed) {
  Random shape(seed ^ kShapeStream);
  GeneratorSpec spec;
  spec.seed = seed;
  spec.content = SceneContent::MarkerFree;
  spec.targetBytes = 0;
  spec.standaloneScripts = 1 + shape.Below(8);
  spec.rows = 1 + shape.Below(24) + spec.standaloneScripts;
  spec.unlistedDefinitions = shape.Below(8);
  spec.extraObjects = shape.Below(10);
  return spec;
}

SceneSpec GenerateSceneSpec(const GeneratorSpec& spec) {
  if (spec.content == SceneContent::Noise) {
    throw std::invalid_argument("a noise scene has no builder spec");
  }
  return Generator(spec).run();
}

Bytes GenerateScene(const GeneratorSpec& spec) {
  Bytes bytes =
      spec.content == SceneContent::Noise ? NoiseBytes(spec) : BuildScene(GenerateSceneSpec(spec));
  if (spec.mutations > 0) {
    Random damage(spec.seed ^ kDamageStream);
    Mutate(bytes, damage, spec.mutations);
  }
  return bytes;
}

ByteString MarkerFreeText(Random& random, std::size_t length) {
  static const ByteString kAlphabet =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNORSTUVWXYZ0123456789_.,;:()[]=+-*/\r\n\t"
      "\xC0\xC9\xD6\xDC\xE0\xE9\xF6\xFC\xDF\xA9\x80\x9F";
  ByteString text(length, 'x');
  for (auto& c : text) c = kAlphabet[static_cast<std::size_t>(random.Next() % kAlphabet.size())];
  return text;
}

}  // namespace quorvex::testing
