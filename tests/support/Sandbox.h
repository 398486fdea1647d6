#pragma once
// A private temporary folder with the XDG variables pointed into it, restored and removed
// when the sandbox goes out of scope. Header-only.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>

namespace quavix::testing {

class Sandbox {
public:
    Sandbox()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quavix-test-XXXXXX");
        if (!::mkdtemp(pattern.data()))
            std::abort();
        m_root = pattern;
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME",
                                 "XDG_RUNTIME_DIR", "XDG_CONFIG_DIRS", "XDG_DATA_DIRS"}) {
            const char* old = std::getenv(name);
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        set("XDG_CONFIG_HOME", "config");
        set("XDG_DATA_HOME", "data");
        set("XDG_STATE_HOME", "state");
        set("XDG_RUNTIME_DIR", "runtime");
        std::filesystem::permissions(m_root / "runtime", std::filesystem::perms::owner_all);
        set("XDG_CONFIG_DIRS", "etc-xdg");
        set("XDG_DATA_DIRS", "usr-share");
    }
    ~Sandbox()
    {
        for (auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    std::filesystem::path root() const { return m_root; }
    std::string path(const std::string& relative) const { return (m_root / relative).string(); }

    // Writes a file (folders created), bytes exactly as given.
    std::string write(const std::string& relative, const std::string& bytes) const
    {
        auto p = m_root / relative;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }

    static std::string read(const std::string& file)
    {
        std::ifstream in(file, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    void set(const char* name, const char* sub)
    {
        auto p = m_root / sub;
        std::filesystem::create_directories(p);
        ::setenv(name, p.c_str(), 1);
    }
    std::filesystem::path m_root;
    std::map<std::string, std::optional<std::string>> m_saved;
};

} // namespace quavix::testing
