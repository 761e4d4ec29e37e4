#pragma once

// The chosen firmware image, read with plain POSIX I/O at explicit positions. A transfer takes
// the file as it is when the device asks for it; a file that changes after that (shrinks, grows,
// is rewritten or removed) is reported instead of being sent half old, half new.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace m845 {

enum class TFirmwareOpen : std::uint8_t { Ok, NotRegular, Failed };
enum class TFirmwareRead : std::uint8_t { Ok, Changed, Failed };

class TFirmwareFile final
{
public:
    TFirmwareFile() = default;
    ~TFirmwareFile();
    TFirmwareFile(const TFirmwareFile &) = delete;
    TFirmwareFile &operator=(const TFirmwareFile &) = delete;

    // Closes the present file first. reason holds the system's text on Failed.
    [[nodiscard]] TFirmwareOpen Open(const std::string &path, std::string &reason);
    void Close();
    [[nodiscard]] bool IsOpen() const { return m_fd >= 0; }
    [[nodiscard]] const std::string &Path() const { return m_path; }
    // Size at the last Open or Snapshot.
    [[nodiscard]] std::uint64_t Size() const { return m_size; }
    // The file as it is now becomes the one a transfer sends; false when it has been removed
    // or replaced since it was chosen.
    [[nodiscard]] bool Snapshot();
    // Exactly min(count, Size() - position) bytes, or Changed when the file is no longer the
    // snapshot, or Failed (reason set) when the system refuses to read it.
    [[nodiscard]] TFirmwareRead Read(std::uint64_t position, std::uint8_t *out, std::size_t count,
                                     std::size_t &got, std::string &reason);

private:
    int m_fd = -1;
    std::string m_path;
    std::uint64_t m_size = 0;
    std::timespec m_modified{};
};

} // namespace m845
