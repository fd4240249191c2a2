#include "http_table.h"

#include <fstream>
#include <regex>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "test_support.h"

namespace testing_support {

namespace fs = std::filesystem;

static std::string Expand(std::string_view field, const std::map<std::string, std::string>& named) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '{') {  // {name}, or {N*text} for text repeated N times
            const std::size_t end = std::min(field.find('}', i), field.size());
            const std::string in(field.substr(i + 1, end - i - 1));
            const std::string unit = named.contains(in) ? named.at(in) : Expand(in.substr(in.find('*') + 1), named);
            for (long n = named.contains(in) ? 1 : std::stol(in); n > 0; --n) out += unit;
            i = end;
        } else if (field[i] == '\\') {  // \r, \n, \t, \xHH, or the next character as it is
            const std::string e(field.substr(i, field.substr(i + 1, 1) == "x" ? 4 : 2));
            const char plain = e == "\\r" ? '\r' : e == "\\n" ? '\n' : e == "\\t" ? '\t' : e.back();
            out += e.size() == 4 ? static_cast<char>(std::stoi(e.substr(2), nullptr, 16)) : plain;
            i += e.size() - 1;
        } else {
            out += field[i];
        }
    }
    return out;
}

HttpTable LoadHttpTable() {
    std::string path = QUARVELLO_SOURCE_DIR "/tests/server/http_cases.txt";
#ifdef _WIN32
    if (path.starts_with("/")) path = "Z:" + path;  // Wine's drive for the Linux file system
#endif
    std::ifstream in(path, std::ios::binary);
    HttpTable table;
    for (std::string line; std::getline(in, line);) {
        static const std::regex bar(" *\\| *");
        const std::sregex_token_iterator first(line.begin(), line.end(), bar, -1), last;
        std::vector<std::string> f(first, last);
        f.resize(4);
        if (line.starts_with("= ")) table.named[f[0].substr(2)] = Expand(f[1], table.named);
        if (line.empty() || line[0] == '#' || line[0] == '=') continue;
        HttpCase c{f[0], Expand(f[1], table.named), Expand(f[2], table.named),
                   f[3].empty() ? "" : "127.0.0.1 " + Expand(f[3], table.named)};
        table.cases.push_back(c);
    }
    EXPECT_TRUE(in.eof() && !table.cases.empty()) << "no HTTP cases read from " << path;
    return table;
}

void PlantHttpFixture(const std::wstring& webRoot) {
    const auto at = [root = platform::WideToUtf8(webRoot)](const std::string& name) {
        return fs::path(std::u8string(root.begin(), root.end()) + std::u8string(name.begin(), name.end()));
    };
    std::error_code ignored;
    fs::create_directories(at("sub/con"), ignored);
    for (const auto& [name, bytes] : std::map<std::string, std::string>{
             {"index.html", "home"}, {"a.txt", "hello"}, {"caf\xC3\xA9.txt", "hello"},
             {"sub/page.html", "sub"}, {"empty.bin", ""}, {"max.bin", "HEAD"}, {"over.bin", ""},
             {"logo.svg", "<svg/>"}})
        std::ofstream(at(name), std::ios::binary | std::ios::trunc) << bytes;
    fs::resize_file(at("max.bin"), 52428800);
    std::fstream(at("max.bin"), std::ios::in | std::ios::out | std::ios::binary).seekp(52428796) << "TAIL";
    fs::resize_file(at("over.bin"), 52428801);
#ifndef _WIN32  // a device's name, a pipe and an endless device: here each a plain name
    std::ofstream(at("sub/con/x.txt")) << "hello";
    ::mkfifo(at("pipe").c_str(), 0600);
    fs::create_symlink("/dev/zero", at("zero"), ignored);
#endif
}

std::vector<std::string> CheckHttpCases(const std::vector<HttpCase>& cases) {
    std::vector<std::string> records;
    for (const HttpCase& c : cases) {
        LoopbackClient client;
        EXPECT_TRUE(client.SendBytes(c.request)) << c.name;
        client.ShutdownSend();
        const Received got = ReceiveAll(client.Handle(), 30s);
        EXPECT_TRUE((got.closedCleanly || c.response.empty()) && !got.timedOut) << c.name << ": reset or not closed";
        EXPECT_TRUE(got.bytes == c.response) << c.name << ": " << got.bytes.size() << " bytes, "
                                             << ::testing::PrintToString(got.bytes.substr(0, 300));
        if (!c.record.empty()) records.push_back(c.record);
    }
    return records;
}

}  // namespace testing_support
