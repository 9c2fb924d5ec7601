#pragma once
// Writing changes back into a scene safely. (Reading goes through SceneFile.)
//
// The writer takes the lock, reads the current content, lets the caller build an edit plan
// against it (the caller checks that the file is still what its scan saw), has the caller's
// verifier read the planned result as the next load will read it, and only then changes the
// scene: a change small enough for one write inside one 4 KiB page (a modified object's values, a
// short edit that keeps the length) is patched in place; anything larger is written complete to
// "<scene>.save" (on a second thread while the verifier reads, removed again when it refuses),
// flushed, and put in the scene's place with one rename. On disk the scene is always either the
// old content or the complete new content.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include "scene/edit_plan.h"
#include "scene/platform.h"
#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex {

// ReplacedNotFlushed: the new content replaced the scene, but the folder could not be flushed to
// disk afterwards, so a power loss might still bring back the old scene.
enum class WriteMode { NothingWritten, PatchedInPlace, Replaced, ReplacedNotFlushed };
// What the user is told after ReplacedNotFlushed.
inline constexpr const char* kNotFlushedWarning =
    "The change is written, but the folder could not be flushed to disk: it may not survive a "
    "power loss.";

// Builds the plan from the file's current content; returns an Error to refuse the write.
using Planner = std::function<Result<EditPlan>(const SceneImage& current)>;

// Reads `result`, the content the plan would give the scene (read by position, never built), and
// returns an Error to refuse the write. Every operation supplies one (see result_check.h).
using Verifier = std::function<Status(const SceneImage& current, const EditPlan& plan,
                                      const SceneImage& result)>;

// Locks the scene, reads it, calls the planner, the verifier (an empty one checks nothing: for
// tests on raw bytes) and applies the plan. Every failure leaves the file byte for byte unchanged
// and says what happened. An existing "<scene>.save" is never overwritten: a write that needs it
// then refuses with TempExists. A symbolic link is followed: the file it names is written and the
// link stays as it is.
Result<WriteMode> WriteScene(const std::filesystem::path& path, const Planner& planner,
                             const Verifier& verifier);
// The same through `files` (tests give a file system that fails on purpose).
Result<WriteMode> WriteScene(platform::FileSystem& files, const std::filesystem::path& path,
                             const Planner& planner, const Verifier& verifier);

// Whether a plan is applied in place: it keeps the length and all its edits lie inside one
// 4 KiB page, so that one write puts them all in place (a write of one page is never torn by
// a killed process). Any other plan goes through "<scene>.save".
bool PatchesInPlace(const EditPlan& plan);

// "<scene>.save" beside the scene.
std::filesystem::path TempPathFor(const std::filesystem::path& scene);

// A path from a command-line or UI string in UTF-8 (on Windows converted to UTF-16; elsewhere the
// bytes are used as they are).
std::filesystem::path PathFromUtf8(const std::string& utf8);

}  // namespace quorvex
