#pragma once
// Plain error reporting for the core: every operation returns either its value or an Error that
// says what went wrong in words a modder can act on. The core never shows a dialog.

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace quorvex {

enum class ErrorKind {
  NoFile,            // no scene selected / path empty
  Locked,            // another program holds the file
  NotReadable,       // the file could not be opened or read
  TooManyRows,       // more than 5001 catalogue rows
  Damaged,           // a length or count in the file points outside it, backwards, or overflows
  NoSuchRow,         // a row index that the catalogue does not have
  NoScript,          // the row has no script position
  NoObject,          // modify: no object position recorded for the row in this scene
  ChangedOnDisk,     // the file is no longer what the scan saw
  UnexpectedLayout,  // the file is as the scan saw it, but not laid out as a write needs it
  WouldMisread,      // the result of a write would not read back as intended; nothing was written
  Refused,           // a write that would lose or corrupt data
  TempExists,        // the ".save" temporary file already exists
  WriteFailed,       // an I/O error while writing; the scene is unchanged
  Invalid,           // user input rejected
};

// The text shown for a scene that another program holds open.
inline constexpr const char* kFileUsedMessage = "****** File used by another program ******";

struct [[nodiscard]] Error {
  ErrorKind kind;
  std::string message;
};

inline Error MakeError(ErrorKind kind, std::string message) {
  return Error{kind, std::move(message)};
}

// Either a value or an Error.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}      // NOLINT: implicit by design
  Result(Error error) : state_(std::move(error)) {}  // NOLINT: implicit by design

  bool ok() const { return std::holds_alternative<T>(state_); }
  explicit operator bool() const { return ok(); }
  T& value() { return std::get<T>(state_); }
  const T& value() const { return std::get<T>(state_); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const Error& error() const { return std::get<Error>(state_); }

 private:
  std::variant<T, Error> state_;
};

struct Ok {};
using Status = Result<Ok>;
inline Status OkStatus() {
  return Ok{};
}

}  // namespace quorvex
