// hold_file: plays "another program" that has a scene open, for the Windows platform tests (run
// under Wine or on Windows). A separate process, because share modes are what Windows checks
// between the opens of different programs.
//
//   quorvex_hold_file MODE FILE
//
// MODE says how FILE is opened:
//   exclusive  for reading, all sharing denied (the game, or any program that opened it
//              exclusively)
//   writer     for reading and writing, all sharing allowed (an editor that keeps the file open)
//   reader     for reading, reading and writing shared (a viewer)
//   quorvex    as Quorvex opens a scene for reading (a second Quorvex reader)
//
// Prints "held" and a line break once FILE is open, or "failed: " and the reason, then exits 1.
// Keeps FILE open until its standard input ends (the test closes it), then exits 0.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// after windows.h, whose types it uses
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <string>

#include "scene/scene_file.h"

namespace {

int Failed(const std::string& why) {
  std::printf("failed: %s\n", why.c_str());
  std::fflush(stdout);
  return 1;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (argv == nullptr || argc != 3) return Failed("usage: quorvex_hold_file MODE FILE");
  const std::wstring mode = argv[1];
  const std::filesystem::path file = argv[2];
  ::LocalFree(argv);

  HANDLE handle = INVALID_HANDLE_VALUE;
  std::unique_ptr<quorvex::SceneFile> scene;
  const auto open = [&](DWORD access, DWORD share) {
    handle = ::CreateFileW(file.c_str(), access, share, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle != INVALID_HANDLE_VALUE;
  };
  bool held = false;
  if (mode == L"exclusive") {
    held = open(GENERIC_READ, 0);
  } else if (mode == L"writer") {
    held =
        open(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  } else if (mode == L"reader") {
    held = open(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  } else if (mode == L"quorvex") {
    auto opened = quorvex::SceneFile::Open(file);
    if (!opened) return Failed(opened.error().message);
    scene = std::move(*opened);
    held = true;
  } else {
    return Failed("unknown mode");
  }
  if (!held) return Failed("Windows error " + std::to_string(::GetLastError()));
  std::printf("held\n");
  std::fflush(stdout);

  char byte = 0;
  DWORD read = 0;
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  while (::ReadFile(input, &byte, 1, &read, nullptr) && read > 0) {
  }
  if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  return 0;
}
