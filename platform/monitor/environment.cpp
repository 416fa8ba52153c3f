#include "platform/monitor/environment.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace monitor {
namespace {
bool GoodName(const std::string& name) {
    if (name.empty() || name.size() > 63)
        return false;
    for (char c : name) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
            return false;
    }
    return true;
}
}  // namespace

bool Environment::Load(const std::string& boardDir) {
    path_ = boardDir + "/environment";
    vars_.clear();
    bool exists = false;
    std::ifstream in(path_);
    if (in) {
        exists = true;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            size_t eq = line.find('=');
            if (eq == std::string::npos)
                continue;
            std::string name = line.substr(0, eq);
            std::string value = line.substr(eq + 1);
            // Values are C strings for mon_getenv: no embedded zero bytes.
            bool text = value.find('\0') == std::string::npos;
            if (GoodName(name) && text && value.size() < 256)
                vars_[name] = value;
        }
    }
    if (!exists) {
        vars_["IPADD"] = "127.0.0.1";
        vars_["NETMASK"] = "255.0.0.0";
        vars_["ETHERADD"] = "02:00:00:00:00:01";
        return Save();
    }
    return true;
}

const char* Environment::Get(const std::string& name) const {
    auto it = vars_.find(name);
    return it == vars_.end() ? nullptr : it->second.c_str();
}

bool Environment::Set(const std::string& name, const char* value) {
    if (!GoodName(name))
        return false;
    if (value == nullptr || value[0] == '\0') {
        vars_.erase(name);
    } else {
        std::string v(value);
        if (v.size() >= 256 || v.find('\n') != std::string::npos)
            return false;
        vars_[name] = v;
    }
    return Save();
}

bool Environment::Save() const {
    if (path_.empty())
        return true;
    std::string tmp = path_ + ".tmp";
    {
        std::ofstream out(tmp, std::ios::trunc);
        if (!out)
            return false;
        for (const auto& [name, value] : vars_)
            out << name << '=' << value << '\n';
        if (!out.flush())
            return false;
    }
    return std::rename(tmp.c_str(), path_.c_str()) == 0;
}

}  // namespace monitor
