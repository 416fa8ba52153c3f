// Turns the MIB row file into the sorted C++ row tables and subtree nodes of the
// agent. Refuses a file whose rows fall outside their subtree, repeat an OID or
// carry more constraint values than a row holds.
//
//   mibgen ntcip/mib/mib_rows.tsv build/generated/ntcip/mib_tables.cpp

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Oid = std::vector<uint32_t>;

struct Row {
    Oid oid;
    std::string name, handler;
    unsigned type = 0, access = 0, key = 0, base = 0, kind = 0, index_count = 0;
    std::vector<uint32_t> values;
    uint32_t mask = 0;
    int line = 0;
};

struct Subtree {
    std::string label;
    Oid prefix, first, last;
    std::vector<Row> rows;
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> out;
    std::stringstream stream(text);
    std::string field;
    while (std::getline(stream, field, separator)) {
        out.push_back(field);
    }
    return out;
}

Oid ParseOid(const std::string& text) {
    Oid oid;
    for (const std::string& part : Split(text, '.')) {
        if (!part.empty()) {
            oid.push_back(static_cast<uint32_t>(std::stoul(part)));
        }
    }
    return oid;
}

std::string OidText(const Oid& oid) {
    std::string out;
    for (uint32_t v : oid) {
        out += (out.empty() ? "" : ", ") + std::to_string(v);
    }
    return out;
}

bool Fail(int line, const std::string& message) {
    std::cerr << "mibgen: line " << line << ": " << message << "\n";
    return false;
}

bool ParseConstraint(const std::string& text, Row* row) {
    if (text == "-") {
        return true;
    }
    const std::vector<std::string> parts = Split(text, '/');
    if (parts.size() != 3) {
        return false;
    }
    row->base = static_cast<unsigned>(std::stoul(parts[0]));
    row->kind = static_cast<unsigned>(std::stoul(parts[1]));
    for (const std::string& v : Split(parts[2], ',')) {
        row->values.push_back(static_cast<uint32_t>(std::stoll(v)));
    }
    return row->values.size() <= 20 && (row->kind != 1 || row->values.size() % 2 == 0);
}

bool ParseRow(const std::vector<std::string>& f, int line, std::vector<Subtree>& subtrees) {
    if (f.size() != 11) {
        return Fail(line, "a row has 11 fields");
    }
    auto it = std::find_if(subtrees.begin(), subtrees.end(),
                           [&](const Subtree& s) { return s.label == f[1]; });
    if (it == subtrees.end()) {
        return Fail(line, "unknown subtree " + f[1]);
    }
    Row row;
    row.line = line;
    row.oid = ParseOid(f[2]);
    row.name = f[3];
    row.type = static_cast<unsigned>(std::stoul(f[4]));
    row.access = static_cast<unsigned>(std::stoul(f[5]));
    row.key = static_cast<unsigned>(std::stoul(f[6]));
    row.handler = f[7];
    row.mask = static_cast<uint32_t>(std::stoul(f[9], nullptr, 0));
    row.index_count = static_cast<unsigned>(std::stoul(f[10]));
    if (!ParseConstraint(f[8], &row)) {
        return Fail(line, "bad constraint " + f[8]);
    }
    if (row.oid < it->first || !(row.oid < it->last)) {
        return Fail(line, "row outside its subtree " + f[1]);
    }
    it->rows.push_back(row);
    return true;
}

bool Read(const char* path, std::vector<Subtree>& subtrees) {
    std::ifstream in(path);
    if (!in) {
        std::cerr << "mibgen: cannot read " << path << "\n";
        return false;
    }
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        if (text.empty() || text[0] == '#') {
            continue;
        }
        const std::vector<std::string> f = Split(text, '\t');
        if (f[0] == "subtree" && f.size() == 5) {
            Subtree s{f[1], ParseOid(f[2]), {}, {}, {}};
            s.first = s.prefix;
            s.last = s.prefix;
            for (uint32_t v : ParseOid(f[3]))
                s.first.push_back(v);
            for (uint32_t v : ParseOid(f[4]))
                s.last.push_back(v);
            if (s.prefix.size() > 17 || s.first.size() > 17 || s.last.size() > 17) {
                return Fail(line, "subtree OID longer than 17");
            }
            subtrees.push_back(s);
        } else if (f[0] != "row" || !ParseRow(f, line, subtrees)) {
            return Fail(line, "not a subtree or row line");
        }
    }
    return true;
}

bool Sort(std::vector<Subtree>& subtrees) {
    std::sort(subtrees.begin(), subtrees.end(),
              [](const Subtree& a, const Subtree& b) { return a.first < b.first; });
    for (Subtree& s : subtrees) {
        std::sort(s.rows.begin(), s.rows.end(),
                  [](const Row& a, const Row& b) { return a.oid < b.oid; });
        for (size_t i = 1; i < s.rows.size(); ++i) {
            if (s.rows[i].oid == s.rows[i - 1].oid) {
                return Fail(s.rows[i].line, "repeated OID");
            }
        }
    }
    return true;
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

void WriteRows(std::ostream& out, const Subtree& s, size_t n) {
    for (size_t r = 0; r < s.rows.size(); ++r) {
        out << "const uint32_t kName" << n << "_" << r << "[] = {" << OidText(s.rows[r].oid)
            << "};\n";
    }
    out << "MibVariable kRows" << n << "[] = {\n";
    for (size_t r = 0; r < s.rows.size(); ++r) {
        const Row& row = s.rows[r];
        const size_t count = row.kind == 1 ? row.values.size() / 2 : row.values.size();
        std::string values;
        for (uint32_t v : row.values)
            values += std::to_string(v) + "u, ";
        out << "    {kName" << n << "_" << r << ", " << row.oid.size() << ", " << row.type << ", "
            << row.key << ", " << row.access << ", nullptr, " << row.base << ", " << row.kind
            << ", " << count << ", {" << values << "}, 0, " << row.mask << "u, " << row.index_count
            << ", " << Quoted(row.name) << ", " << Quoted(row.handler) << "},\n";
    }
    out << "};\n";
}

void Write(std::ostream& out, const std::vector<Subtree>& subtrees) {
    out << "// Generated by mibgen from ntcip/mib/mib_rows.tsv: do not edit.\n"
        << "#include \"ntcip/mib_engine.h\"\n\nnamespace {\n";
    for (size_t n = 0; n < subtrees.size(); ++n)
        WriteRows(out, subtrees[n], n);
    out << "}  // namespace\n\nMibSubtree g_MibSubtrees[] = {\n";
    for (size_t n = 0; n < subtrees.size(); ++n) {
        const Subtree& s = subtrees[n];
        out << "    {{" << OidText(s.prefix) << "}, " << s.prefix.size() << ", {"
            << OidText(s.first) << "}, " << s.first.size() << ", {" << OidText(s.last) << "}, "
            << s.last.size() << ", kRows" << n << ", 0, sizeof(MibVariable), " << Quoted(s.label)
            << ", nullptr, nullptr},\n";
    }
    out << "};\nconst uint32_t g_MibSubtreeCount = " << subtrees.size()
        << ";\nconst uint16_t g_MibSubtreeRowCounts[] = {";
    for (const Subtree& s : subtrees)
        out << s.rows.size() << ", ";
    out << "};\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: mibgen ROWS.tsv OUT.cpp\n";
        return 2;
    }
    std::vector<Subtree> subtrees;
    if (!Read(argv[1], subtrees) || !Sort(subtrees)) {
        return 1;
    }
    std::ofstream out(argv[2]);
    Write(out, subtrees);
    return out ? 0 : 1;
}
