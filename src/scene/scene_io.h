#pragma once
// Writing changes back into a scene safely. (Reading goes through SceneFile.)
//
// The writer takes the lock, reads the current content, lets the caller build an edit
// plan against it (the caller checks that the file is still what its scan saw), then either
// patches bytes in place (same length) or writes the complete new content to "<scene>.save",
// flushes it, and replaces the scene with one rename. On disk the scene is always either the old
// content or the complete new content.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "scene/edit_plan.h"
#include "scene/result.h"
#include "scene/scene_image.h"

namespace quorvex {

enum class WriteMode { NothingWritten, PatchedInPlace, Replaced };

// Builds the plan from the file's current content; returns an Error to refuse the write.
using Planner = std::function<Result<EditPlan>(const SceneImage& current)>;

// Locks the scene, reads it, calls the planner and applies the plan. Every failure leaves the file
// byte for byte unchanged and says what happened. An existing "<scene>.save" is never overwritten:
// a length-changing write then refuses with TempExists.
Result<WriteMode> WriteScene(const std::filesystem::path& path, const Planner& planner);

// "<scene>.save" beside the scene.
std::filesystem::path TempPathFor(const std::filesystem::path& scene);

// Test seam: when set, the writer fails with "No space left on device" once this many bytes have
// been written by one write (temporary file or in-place patch). Reset with std::nullopt.
void InjectWriteFailureForTesting(std::optional<std::uint64_t> afterBytes);

// A path from a command-line or UI string in UTF-8 (on Windows converted to UTF-16; elsewhere the
// bytes are used as they are).
std::filesystem::path PathFromUtf8(const std::string& utf8);

}  // namespace quorvex
