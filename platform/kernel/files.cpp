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

std::string Canonical(const std::string& path) {
  std::error_code ec;
  std::string c = fs::weakly_canonical(path, ec).string();
  return ec ? path : c;
}

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

namespace {

// The host path of a Windows path argument, or "" with the error set.
std::string PathArgument(LPCSTR path) {
  std::string host = path && *path ? HostPath(path) : "";
  if (host.empty()) SetLastError(path && *path ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
  return host;
}

BOOL Fail(int error, const std::string& host) {
  SetLastError(ErrorFromErrno(error, host));
  return FALSE;
}

}  // namespace

BOOL WINAPI DeleteFileA(LPCSTR fileName) {
  std::string host = PathArgument(fileName);
  if (host.empty()) return FALSE;
  struct stat st;
  if (lstat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (unlink(host.c_str()) != 0) return Fail(errno, host);
  return TRUE;
}

BOOL WINAPI CopyFileA(LPCSTR existing, LPCSTR newFile, BOOL failIfExists) {
  std::string from = PathArgument(existing);
  if (from.empty()) return FALSE;
  std::string to = PathArgument(newFile);
  if (to.empty()) return FALSE;
  struct stat st;
  if (stat(from.c_str(), &st) != 0) return Fail(errno, from);
  if (S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  struct stat target;
  if (stat(to.c_str(), &target) == 0) {
    if (failIfExists) {
      SetLastError(ERROR_FILE_EXISTS);
      return FALSE;
    }
    if (S_ISDIR(target.st_mode)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
  }
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return Fail(errno, from);
  // Written beside the target and renamed over it, so that a reader never sees half a file.
  std::string temp = to + ".copy-" + std::to_string(getpid());
  int out = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 0777);
  if (out < 0) {
    int e = errno;
    close(in);
    return Fail(e, to);
  }
  char buffer[65536];
  ssize_t n;
  bool ok = true;
  while ((n = read(in, buffer, sizeof buffer)) > 0) {
    for (ssize_t done = 0; done < n;) {
      ssize_t w = write(out, buffer + done, size_t(n - done));
      if (w <= 0) {
        ok = false;
        break;
      }
      done += w;
    }
    if (!ok) break;
  }
  if (n < 0) ok = false;
  int e = errno;
  close(in);
  if (close(out) != 0) ok = false;
  if (!ok || rename(temp.c_str(), to.c_str()) != 0) {
    if (ok) e = errno;
    unlink(temp.c_str());
    SetLastError(e == ENOSPC ? ERROR_DISK_FULL : ErrorFromErrno(e, to));
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI MoveFileA(LPCSTR existing, LPCSTR newFile) {
  std::string from = PathArgument(existing);
  if (from.empty()) return FALSE;
  std::string to = PathArgument(newFile);
  if (to.empty()) return FALSE;
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return Fail(errno, from);
  // MoveFile never replaces: an existing target fails (a change of case only is a rename).
  if (lstat(to.c_str(), &st) == 0 && Canonical(to) != Canonical(from)) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  if (rename(from.c_str(), to.c_str()) != 0) return Fail(errno, to);
  return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
  std::string host = PathArgument(path);
  if (host.empty()) return FALSE;
  if (mkdir(host.c_str(), 0777) != 0) {
    if (errno == EEXIST) {
      SetLastError(ERROR_ALREADY_EXISTS);
      return FALSE;
    }
    return Fail(errno == ENOENT ? ENOTDIR : errno, host);  // a missing parent is a path not found
  }
  return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR path) {
  std::string host = PathArgument(path);
  if (host.empty()) return FALSE;
  struct stat st;
  if (lstat(host.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_DIRECTORY);
    return FALSE;
  }
  if (rmdir(host.c_str()) != 0) return Fail(errno == EEXIST ? ENOTEMPTY : errno, host);
  return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR fileName) {
  std::string host = PathArgument(fileName);
  if (host.empty()) return INVALID_FILE_ATTRIBUTES;
  struct stat st;
  if (stat(host.c_str(), &st) != 0) {
    SetLastError(ErrorFromErrno(errno, host));
    return INVALID_FILE_ATTRIBUTES;
  }
  DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}
