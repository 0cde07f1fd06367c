// File mappings backed by POSIX shared memory. A named mapping is one shared-memory object of
// the machine (its name carries the machine scope), so every process of the machine that
// opens the name sees the same bytes.
//
// Windows frees a named mapping when its last handle and view are gone. The shared object
// starts with one page of bookkeeping: the processes that use it, each with its start time so
// that a process that died without cleaning up is recognised (and a reused pid is not taken
// for it). Creating, opening and releasing happen under a lock file of the machine; the last
// live user unlinks the object, and a creator that finds only dead users starts afresh.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <velno/machine.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "kernel_internal.h"

namespace velno::kernel {
namespace {

constexpr size_t kHeaderSize = 4096;
constexpr uint32_t kMagic = 0x564d4150;  // "VMAP"
constexpr uint64_t kGranularity = 65536;  // the allocation granularity of views

struct User {
  int32_t pid;
  uint32_t count;
  uint64_t startTime;
};
struct Header {
  uint32_t magic;
  uint32_t protect;
  uint64_t size;
  User users[(kHeaderSize - 16) / sizeof(User)];
};
static_assert(sizeof(Header) <= kHeaderSize);

uint64_t StartTimeOf(int pid) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/stat", pid);
  std::ifstream in(path);
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close + 2));
  std::string state;
  fields >> state;
  if (state == "Z" || state == "X") return 0;  // ended, only not reaped yet
  std::string field;
  for (int i = 4; i < 22 && fields >> field; ++i) {
  }
  uint64_t start = 0;
  fields >> start;
  return start;
}

uint64_t OwnStartTime() {
  static uint64_t start = StartTimeOf(getpid());
  return start;
}

bool IsAlive(const User& u) { return u.pid > 0 && StartTimeOf(u.pid) == u.startTime; }

// Holds the machine's mapping lock (between processes) for a scope.
class MachineLock {
 public:
  MachineLock() {
    std::string path = sim::MachineRoot() + "/mappings.lock";
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~MachineLock() {
    if (fd_ >= 0) close(fd_);  // releases the lock
  }

 private:
  int fd_;
};

std::string ShmName(const std::string& name) {
  std::string escaped;
  for (unsigned char c : name) {
    if (isalnum(c) || c == '_' || c == '-' || c == '.') {
      escaped += char(c);
    } else {
      char buf[4];
      snprintf(buf, sizeof buf, "%%%02X", c);
      escaped += buf;
    }
  }
  if (escaped.size() > 180) {
    char buf[20];
    snprintf(buf, sizeof buf, "h%016zx", std::hash<std::string>{}(name));
    escaped = buf;
  }
  return "/" + sim::MachineScope() + "-map-" + escaped;
}

class Section : public Object {
 public:
  const char* TypeName() const override { return "Section"; }
  ~Section() override {
    if (header_) {
      if (!shmName_.empty()) Release();
      munmap(header_, kHeaderSize);
    }
    if (fd_ >= 0) close(fd_);
  }

  // Registers this process as a user (machine lock held).
  bool Join() {
    int pid = getpid();
    for (User& u : header_->users)
      if (u.pid == pid && u.startTime == OwnStartTime()) {
        ++u.count;
        return true;
      }
    for (User& u : header_->users)
      if (u.pid == 0 || !IsAlive(u)) {
        u = User{pid, 1, OwnStartTime()};
        return true;
      }
    return false;
  }

  void Release() {
    MachineLock lock;
    int pid = getpid();
    bool anyAlive = false;
    for (User& u : header_->users) {
      if (u.pid == pid && u.startTime == OwnStartTime()) {
        if (--u.count == 0) u = User{};
      }
      if (u.pid != 0 && IsAlive(u)) anyAlive = true;
    }
    if (!anyAlive) shm_unlink(shmName_.c_str());
  }

  int fd_ = -1;
  Header* header_ = nullptr;
  uint64_t size_ = 0;
  DWORD protect_ = PAGE_READWRITE;
  std::string shmName_;  // empty for an unnamed mapping
  std::string key_;
};

// This process's sections by machine-scoped name, so repeated opens share one object.
std::mutex g_lock;
std::map<std::string, std::weak_ptr<Section>>& Sections() {
  static auto* sections = new std::map<std::string, std::weak_ptr<Section>>;
  return *sections;
}
struct View {
  std::shared_ptr<Section> section;
  size_t length;
};
std::map<const void*, View>& Views() {
  static auto* views = new std::map<const void*, View>;
  return *views;
}

Header* MapHeader(int fd) {
  void* p = mmap(nullptr, kHeaderSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return p == MAP_FAILED ? nullptr : static_cast<Header*>(p);
}

// Opens (create == false) or creates the named section. Sets *existed. Null with *error.
std::shared_ptr<Section> OpenSection(const std::string& name, bool create, uint64_t size, DWORD protect,
                                     bool* existed, DWORD* error) {
  std::string shm = ShmName(name);
  std::string key = shm;
  std::lock_guard<std::mutex> guard(g_lock);
  if (auto it = Sections().find(key); it != Sections().end())
    if (auto section = it->second.lock()) {
      *existed = true;
      return section;
    }
  MachineLock lock;
  int fd = shm_open(shm.c_str(), O_RDWR, 0666);
  Header* header = nullptr;
  if (fd >= 0) {
    header = MapHeader(fd);
    bool live = false;
    if (header && header->magic == kMagic) {
      for (const User& u : header->users)
        if (u.pid != 0 && IsAlive(u)) live = true;
    }
    if (!live) {
      // Left behind by processes that are gone: as good as absent.
      if (header) munmap(header, kHeaderSize);
      header = nullptr;
      close(fd);
      fd = -1;
      shm_unlink(shm.c_str());
    }
  }
  *existed = fd >= 0;
  if (fd < 0) {
    if (!create) {
      *error = ERROR_FILE_NOT_FOUND;
      return nullptr;
    }
    fd = shm_open(shm.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
    if (fd < 0 || ftruncate(fd, off_t(kHeaderSize + size)) != 0 || !(header = MapHeader(fd))) {
      if (fd >= 0) {
        close(fd);
        shm_unlink(shm.c_str());
      }
      *error = ERROR_NOT_ENOUGH_MEMORY;
      return nullptr;
    }
    // ftruncate gives zero-filled memory: the users table starts empty.
    header->size = size;
    header->protect = protect;
    __atomic_store_n(&header->magic, kMagic, __ATOMIC_RELEASE);
  }
  fcntl(fd, F_SETFD, FD_CLOEXEC);
  auto section = std::make_shared<Section>();
  section->fd_ = fd;
  section->header_ = header;
  section->size_ = header->size;
  section->protect_ = header->protect;
  section->key_ = key;
  if (!section->Join()) {
    section->header_ = nullptr;
    munmap(header, kHeaderSize);
    *error = ERROR_TOO_MANY_OPEN_FILES;
    return nullptr;
  }
  section->shmName_ = shm;
  Sections()[key] = section;
  return section;
}

std::shared_ptr<Section> UnnamedSection(uint64_t size, DWORD protect) {
  int fd = memfd_create("velno-section", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, off_t(kHeaderSize + size)) != 0) {
    if (fd >= 0) close(fd);
    return nullptr;
  }
  auto section = std::make_shared<Section>();
  section->fd_ = fd;
  section->header_ = MapHeader(fd);
  section->size_ = size;
  section->protect_ = protect;
  return section->header_ ? section : nullptr;
}

}  // namespace
}  // namespace velno::kernel

using namespace velno::kernel;

HANDLE WINAPI CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD sizeHigh, DWORD sizeLow,
                                 LPCSTR name) {
  if (file != INVALID_HANDLE_VALUE) {
    // Mappings of files on disk are not needed by this system.
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  DWORD page = protect & 0xFF;
  if (page != PAGE_READWRITE && page != PAGE_READONLY) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  uint64_t size = (uint64_t(sizeHigh) << 32) | sizeLow;
  if (size == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::shared_ptr<Section> section;
  bool existed = false;
  DWORD error = ERROR_NOT_ENOUGH_MEMORY;
  if (name && *name) {
    section = OpenSection(name, true, size, page, &existed, &error);
  } else {
    section = UnnamedSection(size, page);
  }
  if (!section) {
    SetLastError(error);
    return nullptr;
  }
  HANDLE h = InsertHandle(section);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return h;
}

HANDLE WINAPI OpenFileMappingA(DWORD access, BOOL, LPCSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  bool existed = false;
  DWORD error = ERROR_FILE_NOT_FOUND;
  auto section = OpenSection(name, false, 0, 0, &existed, &error);
  if (!section) {
    SetLastError(error);
    return nullptr;
  }
  SetLastError(ERROR_SUCCESS);
  return InsertHandle(section);
}

LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes) {
  auto section = Lookup<Section>(mapping);
  if (!section) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  uint64_t offset = (uint64_t(offsetHigh) << 32) | offsetLow;
  if (offset % kGranularity) {
    SetLastError(ERROR_MAPPED_ALIGNMENT);
    return nullptr;
  }
  bool write = (access & FILE_MAP_WRITE) || access == FILE_MAP_ALL_ACCESS;
  if (write && section->protect_ == PAGE_READONLY) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (offset > section->size_ || (bytes && bytes > section->size_ - offset) || (!bytes && offset == section->size_)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  size_t length = bytes ? bytes : size_t(section->size_ - offset);
  int prot = PROT_READ | (write || (access & FILE_MAP_COPY) ? PROT_WRITE : 0);
  int flags = (access & FILE_MAP_COPY) && !(access & FILE_MAP_WRITE) ? MAP_PRIVATE : MAP_SHARED;
  void* view = mmap(nullptr, length, prot, flags, section->fd_, off_t(kHeaderSize + offset));
  if (view == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(g_lock);
  Views()[view] = View{section, length};
  return view;
}

BOOL WINAPI UnmapViewOfFile(LPCVOID view) {
  std::shared_ptr<Section> section;  // released after the lock
  {
    std::lock_guard<std::mutex> guard(g_lock);
    auto it = Views().find(view);
    if (it == Views().end()) {
      SetLastError(ERROR_INVALID_ADDRESS);
      return FALSE;
    }
    munmap(const_cast<void*>(view), it->second.length);
    section = std::move(it->second.section);
    Views().erase(it);
  }
  return TRUE;
}
