#pragma once

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// The cases in tests/data/`name`, one a line, their fields separated by " | "; in a field \n,
// \r, \t, \\ and \xNN stand for their bytes. Empty lines and lines from '#' on are skipped.
// A table without cases, or a case with another number of fields than the first, fails the
// test; such a case is left out.
inline std::vector<std::vector<std::string>> CaseTable(const std::string& name) {
    std::ifstream in(HX410_TEST_DATA_DIR "/" + name);
    EXPECT_TRUE(in) << name;
    std::vector<std::vector<std::string>> cases;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> fields(1);
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line.compare(i, 3, " | ") == 0) {
                fields.emplace_back();
                i += 2;
            } else if (line[i] != '\\' || i + 1 == line.size()) {
                fields.back() += line[i];
            } else if (line[++i] == 'x') {
                fields.back() += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                const char c = line[i];
                fields.back() += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
            }
        }
        if (!cases.empty() && fields.size() != cases[0].size()) {
            ADD_FAILURE() << name << ": " << fields.size() << " fields in: " << line;
            continue;
        }
        cases.push_back(fields);
    }
    EXPECT_FALSE(cases.empty()) << name;
    return cases;
}

// `field` as a number in any locale (Qt sets the user's); "nan" and "inf" included.
inline double Number(const std::string& field) {
    double number = std::nan("");
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), number);
    EXPECT_TRUE(error == std::errc() && end == field.data() + field.size())
        << "not a number: " << field;
    return number;
}

// The numbers in `field`, separated by spaces.
inline std::vector<double> Numbers(const std::string& field) {
    std::istringstream in(field);
    std::vector<double> numbers;
    for (std::string number; in >> number;) {
        numbers.push_back(Number(number));
    }
    return numbers;
}
