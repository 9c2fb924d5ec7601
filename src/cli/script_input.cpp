#include "cli/script_input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>

#include "scene/scene_io.h"

namespace quorvex::cli {
namespace {

struct Closer {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string Quoted(const std::string& utf8) {
  return "\"" + utf8 + "\"";
}

Error TooLong(const std::string& what, std::uint64_t limit) {
  return MakeError(ErrorKind::Refused,
                   "The new text from " + what +
                       " is longer than the scene can take: a "
                       "scene holds at most 2147483647 bytes, which leaves room for a script of "
                       "at most " +
                       std::to_string(limit) + " bytes here. Nothing was saved.");
}

// `expected`: the size of a regular file, read in one piece into memory of that size (a text of
// N bytes then takes N bytes, not the up to 3 N of a buffer that doubles as it fills).
Result<ByteString> ReadLimited(std::FILE* in, const std::string& what, std::uint64_t limit,
                               std::uint64_t expected = 0) {
  ByteString text;
  try {
    if (expected > 0) {
      text.resize(static_cast<std::size_t>(expected));
      text.resize(std::fread(text.data(), 1, text.size(), in));
    }
    char buffer[65536];
    while (true) {
      const std::size_t n = std::fread(buffer, 1, sizeof buffer, in);
      if (n == 0) break;
      if (text.size() + n > limit) return TooLong(what, limit);
      text.append(buffer, n);
    }
  } catch (const std::bad_alloc&) {
    return MakeError(ErrorKind::NotReadable, "Not enough memory to read the new text from " + what +
                                                 ". Nothing was saved.");
  }
  if (std::ferror(in)) {
    return MakeError(ErrorKind::NotReadable,
                     "Cannot read " + what + ": " + std::strerror(errno) + ". Nothing was saved.");
  }
  return text;
}

}  // namespace

Result<ByteString> ReadScriptText(const std::optional<std::string>& file, std::uint64_t limit) {
  if (!file) return ReadLimited(stdin, "standard input", limit);

  const auto path = PathFromUtf8(*file);
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) {
    return MakeError(ErrorKind::NotReadable, "Cannot open " + Quoted(*file) +
                                                 ": there is no such file. Nothing was saved.");
  }
  if (error) {
    return MakeError(ErrorKind::NotReadable, "Cannot open " + Quoted(*file) + ": " +
                                                 error.message() + ". Nothing was saved.");
  }
  if (std::filesystem::is_directory(status)) {
    return MakeError(ErrorKind::NotReadable, "Cannot read " + Quoted(*file) +
                                                 ": it is a folder, not a text file. Nothing was "
                                                 "saved.");
  }
  if (!std::filesystem::is_regular_file(status) && !std::filesystem::is_fifo(status)) {
    return MakeError(ErrorKind::Refused, Quoted(*file) +
                                             " is not a text file or a pipe (a device or a "
                                             "socket). Nothing was saved.");
  }
  // A regular file is measured first: one too long for the scene is refused unread.
  std::uint64_t expected = 0;
  if (std::filesystem::is_regular_file(status)) {
    expected = std::filesystem::file_size(path, error);
    if (error) {
      return MakeError(ErrorKind::NotReadable, "Cannot read " + Quoted(*file) + ": " +
                                                   error.message() + ". Nothing was saved.");
    }
    if (expected > limit)
      return TooLong(Quoted(*file) + " (" + std::to_string(expected) + " bytes)", limit);
  }
#ifdef _WIN32
  std::unique_ptr<std::FILE, Closer> in(::_wfopen(path.c_str(), L"rb"));
#else
  std::unique_ptr<std::FILE, Closer> in(std::fopen(path.c_str(), "rb"));
#endif
  if (!in) {
    return MakeError(ErrorKind::NotReadable, "Cannot open " + Quoted(*file) + ": " +
                                                 std::strerror(errno) + ". Nothing was saved.");
  }
  return ReadLimited(in.get(), Quoted(*file), limit, expected);
}

}  // namespace quorvex::cli
