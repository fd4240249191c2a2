#pragma once
// The table of HTTP cases, for any server on 127.0.0.1:80.
#include <map>
#include <string>
#include <vector>

namespace testing_support {

struct HttpCase { std::string name, request, response, record; };  // no record: the connection is not answered
struct HttpTable {  // the cases, and the table's named texts such as each fixed response
    std::map<std::string, std::string> named;
    std::vector<HttpCase> cases;
};
HttpTable LoadHttpTable();
void PlantHttpFixture(const std::wstring& webRoot);  // the files the cases ask for
// Each case on a new connection, every byte of its answer checked; returns the records left.
std::vector<std::string> CheckHttpCases(const std::vector<HttpCase>& cases);

}  // namespace testing_support
