// Parsing of parameter-bar descriptors.
#include "bars/bardesc.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

namespace {

using kv::BarItem;
using kv::ParseBarDescriptor;

TEST(BarDescriptor, LineExampleGivesOneIntegerField) {
    const kv::BarDescriptor d = ParseBarDescriptor("Line,I,Width,1,100,1,Line Width");
    EXPECT_EQ(d.Caption, "Line");
    ASSERT_EQ(d.Items.size(), 1u);
    const BarItem& i = d.Items[0];
    EXPECT_EQ(i.Type, 'I');
    EXPECT_EQ(i.Level, 0);
    EXPECT_EQ(i.Caption, "Width");
    EXPECT_EQ(i.Min, 1);
    EXPECT_EQ(i.Max, 100);
    EXPECT_EQ(i.Value, 1);
    EXPECT_EQ(i.Hint, "Line Width");
    EXPECT_EQ(ParseBarDescriptor("Line,II,Width,1,100,1,Line Width").Items[0].Level, 1);
    EXPECT_EQ(ParseBarDescriptor("Line,CCC,x,1,h").Items[0].Level, 2);
}

TEST(BarDescriptor, EveryItemTypeReadsItsTokens) {
    const kv::BarDescriptor d = ParseBarDescriptor(
        "All,B,Go,Press,C,Tick,1,Tick hint,F,Scale:,2,-9.5,99.25,1.5,Scale hint,"
        "L,Mode:,3,a,bb,ccc,Mode hint,N,Font hint,O,Col:,80ff0A,Colour hint,P,BOLD,Bold,S,"
        "T,Note,Note hint,I,N:,0,10,3,N hint");
    ASSERT_EQ(d.Items.size(), 10u);
    const char types[] = "BCFLNOPSTI";
    for (std::size_t k = 0; k < 10; ++k) EXPECT_EQ(d.Items[k].Type, types[k]) << k;
    EXPECT_EQ(d.Items[0].Caption, "Go");
    EXPECT_EQ(d.Items[0].Hint, "Press");
    EXPECT_EQ(d.Items[1].Value, 1);
    EXPECT_EQ(d.Items[2].Decimals, 2);
    EXPECT_EQ(d.Items[2].Min, -9.5);
    EXPECT_EQ(d.Items[2].Max, 99.25);
    EXPECT_EQ(d.Items[2].Value, 1.5);
    EXPECT_EQ(d.Items[3].Items, (std::vector<std::string>{"a", "bb", "ccc"}));
    EXPECT_EQ(d.Items[3].Hint, "Mode hint");
    EXPECT_EQ(d.Items[4].Hint, "Font hint");
    EXPECT_EQ(d.Items[5].Color, 0x80FF0Au);
    EXPECT_EQ(d.Items[6].Caption, "BOLD");
    EXPECT_EQ(d.Items[8].Hint, "Note hint");
    EXPECT_EQ(d.Items[9].Hint, "N hint");
    int values = 0;
    for (const BarItem& i : d.Items) values += i.IsValueControl();
    EXPECT_EQ(values, 8) << "separators and texts are not in the control table";
}

TEST(BarDescriptor, UnknownTypesAndShortTextsAreSafe) {
    // "X" creates nothing and the parser goes on with the next token.
    const kv::BarDescriptor d = ParseBarDescriptor("Cap,X,S,Zzz,C,Box,0,hint");
    ASSERT_EQ(d.Items.size(), 2u);
    EXPECT_EQ(d.Items[0].Type, 'S');
    EXPECT_EQ(d.Items[1].Caption, "Box");
    EXPECT_EQ(ParseBarDescriptor("LINEBAR").Caption, "LINEBAR");
    EXPECT_TRUE(ParseBarDescriptor("LINEBAR").Items.empty());
    const kv::BarDescriptor cut = ParseBarDescriptor("Cap,L,Mode:,99999,a,b");
    ASSERT_EQ(cut.Items.size(), 1u);
    EXPECT_EQ(cut.Items[0].Items.size(), 2u);
    EXPECT_EQ(ParseBarDescriptor("Cap,I,W,x,,5").Items[0].Max, 0) << "not a number reads 0";
    EXPECT_TRUE(ParseBarDescriptor("").Items.empty());
}

TEST(BarDescriptor, NumbersUseAPointWhateverTheLocale) {
    EXPECT_EQ(ParseBarDescriptor("C,F,v,1,0.5,2.75,1.25,h").Items[0].Max, 2.75);
    EXPECT_EQ(kv::FormatBarNumber(-16384, 0), "-16384");
    EXPECT_EQ(kv::FormatBarNumber(2.5, 2), "2.50");
}

// The English descriptors: the control indices the tools rely on.
TEST(BarDescriptor, EnglishBarsHaveTheirValueControls) {
    std::ifstream in(std::string(VM_LANG_DIR) + "/English.txt");
    std::map<std::string, std::string> bars;
    for (std::string line; std::getline(in, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos && eq >= 3 && line.compare(eq - 3, 3, "BAR") == 0)
            bars[line.substr(0, eq)] = line.substr(eq + 1);
    }
    auto count = [&](const std::string& name) {
        int n = 0;
        for (const BarItem& i : ParseBarDescriptor(bars.at(name)).Items) n += i.IsValueControl();
        return n;
    };
    EXPECT_EQ(count("LINEBAR"), 3);
    EXPECT_EQ(count("TEXTBAR"), 11);
    EXPECT_EQ(count("PFILLBAR"), 5);
    EXPECT_EQ(count("CUTBAR"), 5);
    const kv::BarDescriptor text = ParseBarDescriptor(bars.at("TEXTBAR"));
    EXPECT_EQ(text.Items[0].Type, 'N');
    EXPECT_EQ(text.Items.back().Level, 1);
}

} // namespace
