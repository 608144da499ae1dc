#pragma once

#include "base/text.h"

#include <cerrno>
#include <cstddef>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/stat.h>

namespace pxw::lumabatch {

// An open file mapped into memory, for the image readers: every reader can load from memory,
// while some of them cannot seek in a descriptor. Throws std::runtime_error with the reason.
class MappedFile {
public:
    explicit MappedFile(int fd) {
        struct stat info { };
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
            throw std::runtime_error("not a file");
        if (info.st_size == 0)
            throw std::runtime_error("the file is empty");
        size_ = static_cast<std::size_t>(info.st_size);
        data_ = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (data_ == MAP_FAILED)
            throw std::runtime_error("cannot read the file: " + base::errorText(errno));
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile() { ::munmap(data_, size_); }

    const void* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace pxw::lumabatch
