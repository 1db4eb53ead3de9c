#pragma once

#include <string>
#include <string_view>

namespace platform {

// A file held open for appending, made (rw-r--r--, less the umask) when
// missing. Every write lands at the end, whatever others append meanwhile.
// Closed when the object goes. Move-only.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(AppendFile&& other) noexcept;
    AppendFile& operator=(AppendFile&& other) noexcept;
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens (or makes) the file at `path`, closing the one open before.
    // Returns 0 or the errno.
    int open(const std::string& path);
    void close();
    bool isOpen() const { return m_fd >= 0; }

    // False once the open file has lost its last name: someone deleted it,
    // and whatever is written on would be lost. Costs no path lookup.
    bool stillNamed() const;

    // Hands all of `text` to the kernel: short writes go on with the rest,
    // interrupted ones are tried again. Returns 0, or the errno of another
    // failure (a full disk), which drops the rest of the text.
    int append(std::string_view text) const;

private:
    int m_fd = -1;
};

}  // namespace platform
