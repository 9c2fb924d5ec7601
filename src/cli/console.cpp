#include "cli/console.h"

#include <iostream>

#include "cli/commands.h"
#include "scene/scene_io.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it builds on.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#endif

namespace quorvex::cli {
namespace {

#ifdef _WIN32
std::string Utf8(const wchar_t* wide) {
  const int needed = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 1) return {};
  std::string out(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, out.data(), needed, nullptr, nullptr);
  out.pop_back();  // the terminating zero
  return out;
}

std::vector<std::string> WideCommandLine() {
  std::vector<std::string> values;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return values;
  for (int i = 0; i < count; ++i) values.push_back(Utf8(wide[i]));
  ::LocalFree(wide);
  return values;
}
#endif

}  // namespace

Utf8Arguments::Utf8Arguments(int argc, char** argv) {
#ifdef _WIN32
  values_ = WideCommandLine();
#endif
  if (values_.empty()) values_.assign(argv, argv + argc);
  for (auto& value : values_) pointers_.push_back(value.data());
  pointers_.push_back(nullptr);
}

void UseBinaryStdio() {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
}

int Failed(const std::string& message) {
  std::cerr << "quorvex-cli: " << message << "\n";
  return kExitFailed;
}

void WarnNotFlushed() {
  std::cerr << "quorvex-cli: " << kNotFlushedWarning << "\n";
}

}  // namespace quorvex::cli
