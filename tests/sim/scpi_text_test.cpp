// The simulated unit's header matching: long and short forms in any case, optional nodes,
// queries, and headers that cannot name a command.
#include "scpi_text.hpp"

#include <gtest/gtest.h>

#include <string>

TEST(ScpiHeader, LongAndShortFormsInAnyCaseWithOptionalNodes) {
    const char* pattern = "[SENSe:]VOLTage[:DC]:NPLCycles";
    for (const char* header : {"VOLT:NPLC", "volt:nplc", "SENS:VOLT:DC:NPLC",
                               ":voltage:dc:nplcycles", "Sense:Volt:Nplcycles", "VOLTAGE:NPLC"})
        EXPECT_TRUE(scpi_header_matches(header, pattern)) << header;
    // Neither form: a longer short form, a cut long form, a node left out that is needed,
    // a node too many, an empty node.
    for (const char* header :
         {"VOLTA:NPLC", "VOL:NPLC", "SENS:NPLC", "VOLT:DC:DC:NPLC", "VOLT::NPLC", "", ":"})
        EXPECT_FALSE(scpi_header_matches(header, pattern)) << header;
}

TEST(ScpiHeader, QueriesMatchOnlyQueryPatterns) {
    EXPECT_TRUE(scpi_header_matches("syst:err?", "SYSTem:ERRor?"));
    EXPECT_TRUE(scpi_header_matches("*IDN?", "*IDN?"));
    EXPECT_FALSE(scpi_header_matches("SYST:ERR", "SYSTem:ERRor?"));
    EXPECT_FALSE(scpi_header_matches("ROUT:CLOS?", "ROUTe:CLOSe"));
    EXPECT_FALSE(scpi_header_matches("?", "SYSTem:ERRor?"));
}

TEST(ScpiHeader, AHeaderOfManyNodesIsNoCommand) {
    std::string header = "VOLT";
    for (int i = 0; i < 40; ++i)
        header += ":DC";
    EXPECT_FALSE(scpi_header_matches(header, "VOLTage[:DC]"));
    EXPECT_FALSE(scpi_header_matches(std::string(5000, ':'), "VOLTage[:DC]"));
}
