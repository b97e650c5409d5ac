#pragma once

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// `text` with \n, \r, \t, \\ and \xNN standing for their bytes.
inline std::string Unescape(const std::string& text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            bytes += text[i];
        } else if (text[++i] == 'x') {
            bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            const char c = text[i];
            bytes += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
        }
    }
    return bytes;
}

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
        std::vector<std::string> fields;
        for (std::size_t start = 0;;) {
            const std::size_t end = line.find(" | ", start);
            fields.push_back(Unescape(line.substr(start, end - start)));
            if (end == std::string::npos) {
                break;
            }
            start = end + 3;
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
