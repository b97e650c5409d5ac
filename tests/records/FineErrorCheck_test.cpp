#include "records/FineErrorCheck.h"

#include <array>
#include <map>
#include <optional>
#include <sstream>

#include <gtest/gtest.h>

#include "CaseTable.h"

namespace {

TEST(FineErrorCheckTest, AnErrorThatCannotBelongToTheCompassIsRefused) {
    const std::map<std::string, FineAgreement> verdicts{
        {"agrees", FineAgreement::Agrees},
        {"far", FineAgreement::FarFromOthers},
        {"not one compass", FineAgreement::NotOneCompass}};
    for (const auto& c : CaseTable("fine-errors.txt")) {
        std::array<std::optional<double>, 4> recorded;
        std::istringstream in(c[3]);
        for (std::optional<double>& error : recorded) {
            std::string value;
            in >> value;
            error = value == "none" ? std::nullopt : std::optional(Number(value));
        }
        EXPECT_EQ(CheckFineError(std::stoi(c[1]), Number(c[2]), recorded, c[4] == "coarse"),
                  verdicts.at(c[5]))
            << c[0];
    }
}

} // namespace
