#pragma once
// The monitor's environment variables, kept in "environment" of the board
// directory as NAME=value lines. Every change rewrites the file through a
// temporary and a rename, so a kill -9 leaves the old or the new file.

#include <map>
#include <string>

namespace monitor {

class Environment {
public:
    // Loads the file; missing variables get the host defaults (IPADD
    // 127.0.0.1, NETMASK 255.0.0.0, ETHERADD 02:00:00:00:00:01; no GIPADD).
    bool Load(const std::string& boardDir);
    // The value or null. The pointer stays valid until that variable changes.
    const char* Get(const std::string& name) const;
    // A null or empty value removes the variable. False for a bad name.
    bool Set(const std::string& name, const char* value);
    const std::map<std::string, std::string>& All() const { return vars_; }

private:
    bool Save() const;
    std::string path_;
    std::map<std::string, std::string> vars_;
};

}  // namespace monitor
