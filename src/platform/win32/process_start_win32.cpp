#include "platform/win32/process_start.h"

#include <array>
#include <optional>
#include <vector>

#include "platform/win32/quiet_errors.h"
#include "platform/win32/wide_text.h"

namespace quendrix::platform::win32 {
namespace {

// The attribute list of an extended start that names the only handles the
// program inherits. The system keeps a pointer to the array of handles, so
// the array lives in the object, as long as the list.
class InheritedHandleList {
 public:
  explicit InheritedHandleList(const StandardHandles& handles)
      : handles_{handles.input, handles.output, handles.error} {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (size == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &size)) {
      error_ = GetLastError();
      return;
    }
    list_ = list;
    if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                   handles_.data(), sizeof(HANDLE) * handles_.size(),
                                   nullptr, nullptr)) {
      error_ = GetLastError();
    }
  }
  ~InheritedHandleList() {
    if (list_ != nullptr) DeleteProcThreadAttributeList(list_);
  }
  InheritedHandleList(const InheritedHandleList&) = delete;
  InheritedHandleList& operator=(const InheritedHandleList&) = delete;

  // Null when the list could not be made; error() then says why.
  LPPROC_THREAD_ATTRIBUTE_LIST get() const { return error_ == 0 ? list_ : nullptr; }
  DWORD error() const { return error_ != 0 ? error_ : ERROR_INVALID_PARAMETER; }

  // Sets or clears the inheritance of the listed handles.
  void Inherit(bool inherit) const {
    for (HANDLE handle : handles_) {
      SetHandleInformation(handle, HANDLE_FLAG_INHERIT, inherit ? HANDLE_FLAG_INHERIT : 0);
    }
  }

 private:
  std::array<HANDLE, 3> handles_;
  std::vector<unsigned char> storage_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
  DWORD error_ = 0;
};

// The two functions differ only in their text, so one template serves both.
// With `handles`, the start is an extended one that passes them on, and
// them alone.
template <typename Char, typename StartupInfoEx, typename Create>
bool Start(const std::basic_string<Char>& commandLine, std::uint32_t showState,
           DWORD flags, const StandardHandles* handles, Create create,
           PROCESS_INFORMATION& info, DWORD& lastError) {
  // CreateProcess may write into the command line, so it gets a copy of its
  // own, zero-terminated.
  std::vector<Char> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(Char{});

  StartupInfoEx startup{};
  startup.StartupInfo.cb = sizeof startup.StartupInfo;
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = static_cast<WORD>(showState);

  std::optional<InheritedHandleList> list;
  if (handles != nullptr) {
    list.emplace(*handles);
    if (list->get() == nullptr) {
      lastError = list->error();
      return false;
    }
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = handles->input;
    startup.StartupInfo.hStdOutput = handles->output;
    startup.StartupInfo.hStdError = handles->error;
    startup.lpAttributeList = list->get();
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }

  // Default security, and neither handle inheritable by the program's own
  // children.
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof security;
  security.lpSecurityDescriptor = nullptr;
  security.bInheritHandle = FALSE;

  // The program takes over the quiet error mode at its creation, so a
  // converter that touches an empty drive shows no dialog either. The
  // listed handles are inheritable only inside the lock, so that a program
  // another thread of the host starts with every inheritable handle and
  // without a list takes them along only if it starts in that very span.
  return WithQuietErrors(
             [&] {
               if (list) list->Inherit(true);
               const BOOL created =
                   create(nullptr, buffer.data(), &security, &security,
                          list ? TRUE : FALSE, flags, nullptr, nullptr,
                          &startup.StartupInfo, &info);
               const DWORD error = GetLastError();
               if (list) list->Inherit(false);
               SetLastError(error);
               return created;
             },
             lastError) != FALSE;
}

}  // namespace

bool StartProcess(const std::string& commandLine, std::uint32_t showState,
                  DWORD flags, TextEncoding encoding, PROCESS_INFORMATION& info,
                  DWORD& lastError) {
  if (encoding == TextEncoding::kUtf8) {
    return Start<wchar_t, STARTUPINFOEXW>(WideFromUtf8(commandLine), showState, flags,
                                          nullptr, CreateProcessW, info, lastError);
  }
  return Start<char, STARTUPINFOEXA>(commandLine, showState, flags, nullptr,
                                     CreateProcessA, info, lastError);
}

bool StartProcessWithHandles(const std::string& commandLine, DWORD flags,
                             TextEncoding encoding, const StandardHandles& handles,
                             PROCESS_INFORMATION& info, DWORD& lastError) {
  if (encoding == TextEncoding::kUtf8) {
    return Start<wchar_t, STARTUPINFOEXW>(WideFromUtf8(commandLine), SW_HIDE, flags,
                                          &handles, CreateProcessW, info, lastError);
  }
  return Start<char, STARTUPINFOEXA>(commandLine, SW_HIDE, flags, &handles,
                                     CreateProcessA, info, lastError);
}

}  // namespace quendrix::platform::win32
