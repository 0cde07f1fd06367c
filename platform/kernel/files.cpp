// CreateFileA and the file system of drive C: plain files, directories, copy and move, the
// system folders. Paths that start with a registered device prefix go to their opener.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <velno/machine.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "kernel_internal.h"

namespace fs = std::filesystem;

namespace velno::kernel {
namespace {

class PlainFile : public FileObject {
 public:
  explicit PlainFile(int fd) : fd_(fd) {}
  ~PlainFile() override { close(fd_); }
  DWORD Read(void* buffer, DWORD size, DWORD* transferred, OVERLAPPED* overlapped) override {
    if (!(access & GENERIC_READ)) return ERROR_ACCESS_DENIED;
    std::lock_guard<std::mutex> guard(lock_);
    off_t at = Position(overlapped);
    ssize_t n = pread(fd_, buffer, size, at);
    if (n < 0) return ERROR_READ_FAULT;
    Advance(overlapped, at, n);
    *transferred = DWORD(n);
    // An overlapped read at or past the end fails with ERROR_HANDLE_EOF; a synchronous one
    // succeeds with 0 bytes.
    if (n == 0 && size > 0 && (openFlags & FILE_FLAG_OVERLAPPED)) return ERROR_HANDLE_EOF;
    return ERROR_SUCCESS;
  }
  DWORD Write(const void* buffer, DWORD size, DWORD* transferred, OVERLAPPED* overlapped) override {
    if (!(access & GENERIC_WRITE)) return ERROR_ACCESS_DENIED;
    std::lock_guard<std::mutex> guard(lock_);
    off_t at = Position(overlapped);
    ssize_t n = pwrite(fd_, buffer, size, at);
    if (n < 0) return errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
    Advance(overlapped, at, n);
    *transferred = DWORD(n);
    return ERROR_SUCCESS;
  }
  DWORD Size(DWORD* high) override {
    struct stat st;
    if (fstat(fd_, &st) != 0) return INVALID_FILE_SIZE;
    uint64_t size = uint64_t(st.st_size);
    if (high) *high = DWORD(size >> 32);
    return DWORD(size);
  }

 private:
  // Overlapped handles use the offset in the OVERLAPPED; synchronous ones the file pointer.
  off_t Position(OVERLAPPED* overlapped) const {
    if ((openFlags & FILE_FLAG_OVERLAPPED) && overlapped)
      return off_t((uint64_t(overlapped->OffsetHigh) << 32) | overlapped->Offset);
    return position_;
  }
  void Advance(OVERLAPPED* overlapped, off_t at, ssize_t n) {
    if (!((openFlags & FILE_FLAG_OVERLAPPED) && overlapped)) position_ = at + n;
  }
  int fd_;
  std::mutex lock_;
  off_t position_ = 0;
};

bool IsAbsoluteWindowsPath(const std::string& p) {
  return (p.size() >= 2 && p[1] == ':') || (!p.empty() && (p[0] == '\\' || p[0] == '/'));
}

}  // namespace

// The host path of a Windows path of this machine ("" when it is not on drive C).
std::string HostPath(const char* windowsPath) {
  if (!windowsPath || !*windowsPath) return "";
  std::string p = windowsPath;
  if (!IsAbsoluteWindowsPath(p)) {
    char cwd[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof cwd, cwd);
    if (n == 0 || n >= sizeof cwd) return "";
    p = std::string(cwd) + "\\" + p;
  }
  return sim::HostPathFromWindows(p);
}

// The Win32 error for a failed host file operation on `host`.
DWORD ErrorFromErrno(int error, const std::string& host) {
  switch (error) {
    case ENOENT: {
      struct stat st;
      std::string parent = fs::path(host).parent_path().string();
      return stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return ERROR_ACCESS_DENIED;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOSPC: return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EBUSY: return ERROR_SHARING_VIOLATION;
    default: return ERROR_GEN_FAILURE;
  }
}

}  // namespace velno::kernel

using namespace velno::kernel;

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES, DWORD disposition,
                          DWORD flagsAndAttributes, HANDLE) {
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (access & GENERIC_ALL) access |= GENERIC_READ | GENERIC_WRITE;
  DeviceOpener opener;
  if (FindDeviceOpener(fileName, &opener)) {
    DWORD error = ERROR_FILE_NOT_FOUND;
    std::shared_ptr<FileObject> device = opener(fileName, access, shareMode, flagsAndAttributes, &error);
    if (!device) {
      SetLastError(error == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : error);
      return INVALID_HANDLE_VALUE;
    }
    device->openFlags = flagsAndAttributes;
    device->access = access;
    SetLastError(ERROR_SUCCESS);
    return InsertHandle(device);
  }
  std::string host = HostPath(fileName);
  if (host.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  int flags = O_CLOEXEC;
  if ((access & GENERIC_READ) && (access & GENERIC_WRITE)) {
    flags |= O_RDWR;
  } else if (access & GENERIC_WRITE) {
    flags |= O_WRONLY;
  } else {
    flags |= O_RDONLY;
  }
  struct stat st;
  bool existed = stat(host.c_str(), &st) == 0;
  if (existed && S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  switch (disposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING:
      if (!(access & GENERIC_WRITE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
      }
      flags |= O_TRUNC;
      break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
  }
  if ((flags & O_TRUNC) && (flags & O_ACCMODE) == O_RDONLY) flags = (flags & ~O_ACCMODE) | O_RDWR;
  int fd = open(host.c_str(), flags, 0666);
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno, host));
    return INVALID_HANDLE_VALUE;
  }
  auto file = std::make_shared<PlainFile>(fd);
  file->openFlags = flagsAndAttributes;
  file->access = access;
  HANDLE h = InsertHandle(file);
  // CREATE_ALWAYS and OPEN_ALWAYS report an existing file this way, and succeed.
  SetLastError(existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                       : ERROR_SUCCESS);
  return h;
}

DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
  char cwd[4096];
  std::string win;
  if (getcwd(cwd, sizeof cwd)) win = velno::sim::WindowsPathFromHost(cwd);
  if (win.empty()) win = "C:\\";
  if (!buffer || size <= win.size()) return DWORD(win.size() + 1);
  memcpy(buffer, win.c_str(), win.size() + 1);
  return DWORD(win.size());
}
