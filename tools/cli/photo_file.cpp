#include "photo_file.h"

#include <VurodoroViri_Diagnostics.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace facepad::cli {

namespace {

constexpr unsigned char kJpegSignature[] = {0xFF, 0xD8, 0xFF};
constexpr unsigned char kPngSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

const char* ImageKind(const std::string& path)
{
    unsigned char head[sizeof kPngSignature] = {};
    std::ifstream file(path, std::ios::binary);
    file.read(reinterpret_cast<char*>(head), sizeof head);
    const auto got = static_cast<std::size_t>(file.gcount());
    if (got >= sizeof kJpegSignature &&
        std::memcmp(head, kJpegSignature, sizeof kJpegSignature) == 0) {
        return "JPEG";
    }
    if (got == sizeof kPngSignature &&
        std::memcmp(head, kPngSignature, sizeof kPngSignature) == 0) {
        return "PNG";
    }
    return nullptr;
}

}  // namespace

PhotoCheck CheckPhoto(const std::string& path, std::size_t maxBytes)
{
    PhotoCheck check;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        check.problem = "photo " + path + ": " + std::strerror(errno);
        return check;
    }
    if (!S_ISREG(info.st_mode)) {
        check.problem = "photo " + path + " is not a regular file";
        return check;
    }
    check.size = static_cast<std::size_t>(info.st_size);
    if (check.size > maxBytes) {
        check.problem = "photo " + path + " has " + std::to_string(check.size) +
                        " bytes, more than --max-photo-bytes " + std::to_string(maxBytes);
        return check;
    }
    const char* kind = ImageKind(path);
    if (kind == nullptr) {
        check.problem = "photo " + path + " is neither JPEG nor PNG";
        return check;
    }
    check.kind = kind;
    return check;
}

std::optional<std::string> ReadPhotoAsBase64(const std::string& path, std::size_t size)
{
    std::string bytes(size, '\0');
    std::ifstream file(path, std::ios::binary);
    if (!file.read(bytes.data(), static_cast<std::streamsize>(size)) ||
        file.peek() != std::char_traits<char>::eof()) {
        return std::nullopt;  // unreadable, or it changed size since it was checked
    }
    return Osmer_Framework::Face::VurodoroViri_Base64Encode(bytes);
}

}  // namespace facepad::cli
