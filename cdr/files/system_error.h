#pragma once

// The system's reason for a failed file operation, the same on every platform: its number
// (errno, or GetLastError on Windows) and its words, which the messages quote. One function per
// platform makes it: system_error_posix.cpp, system_error_win32.cpp. Every file operation of this
// room that can fail says why by one: a Result<T> for those that give something, an
// std::optional<SystemError> (nothing when it worked) for the others.
//
// Example:
//   Result<std::unique_ptr<ByteSource>> input = OpenInputFile("calls.csv");
//   if (!input) Say("calls.csv: cannot open: " + input.Error().text);
//   if (const std::optional<SystemError> failed = RemoveFile("calls.csv")) ...

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace halvrenn::cdr {

struct SystemError {
  int code = 0;
  // As it stands inside a longer message, without a closing full stop: "No such file or
  // directory", "The system cannot find the file specified"; "interrupted" for a call that a
  // signal broke off (EINTR).
  std::string text;

  // No space left on the disk, or the quota used up: a failure that may pass, unlike most.
  bool DiskFull() const;
  // The name is taken already.
  bool NameTaken() const;
  // A rename cannot reach the other file system or volume.
  bool OtherVolume() const;
};

// The error of `code`, and of the last failed call of this thread (errno, GetLastError()).
SystemError SystemErrorOf(int code);
SystemError LastSystemError();
// The error of a name already taken (EEXIST, ERROR_FILE_EXISTS).
SystemError NameTakenError();
// The system's words for `code` as a sentence of their own, its full stop kept where the system
// writes one (Windows): for a message that ends with them.
std::string SystemSentence(int code);

// A value, or the system's reason why there is none.
template <typename T>
class Result {
 public:
  template <typename Value>
  requires(std::is_constructible_v<T, Value&&> &&
           !std::is_same_v<std::remove_cvref_t<Value>, SystemError> &&
           !std::is_same_v<std::remove_cvref_t<Value>, Result>)
      // Implicit, so that a function returns its value or its error as they are.
      Result(Value&& value)
      : held_(std::in_place_index<0>, std::forward<Value>(value)) {}
  Result(SystemError error) : held_(std::in_place_index<1>, std::move(error)) {}

  // The value and the error are asked for only after a look at the bool, as of an optional:
  // get_if, not std::get, so that no throwing path is built into every caller.
  explicit operator bool() const { return held_.index() == 0; }
  T& operator*() { return *std::get_if<0>(&held_); }
  const T& operator*() const { return *std::get_if<0>(&held_); }
  T* operator->() { return std::get_if<0>(&held_); }
  const T* operator->() const { return std::get_if<0>(&held_); }
  const SystemError& Error() const { return *std::get_if<1>(&held_); }

 private:
  std::variant<T, SystemError> held_;
};

}  // namespace halvrenn::cdr
