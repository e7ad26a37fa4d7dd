// Text files in the ANSI code page: one byte per western character, CR LF line ends, and line
// reading that copes with every kind of line end.
#include <gtest/gtest.h>

#include "contract/contract_env.h"
#include "contract/contract_util.h"

namespace updexar::contract {
namespace {

std::string At(const std::string& name) { return Env().scratchFolder + "\\" + name; }

const std::string kLine = "Caf\xC3\xA9 \xE2\x82\xAC" "5";  // "Café €5"

TEST(AnsiContract, TextRoundTripsThroughTheCodePageWithCrLf) {
    platform::FileSystem& fs = *Env().files;
    platform::AnsiText& ansi = *Env().text;
    // é and € are single bytes in the western code pages and come back as they went.
    EXPECT_EQ(7u, ansi.ToAnsi(kLine).size());
    EXPECT_EQ(kLine, ansi.FromAnsi(ansi.ToAnsi(kLine)));

    const std::string file = At("text.txt");
    auto writer = fs.OpenTextWriter(file);
    writer->WriteLine(kLine);
    writer->Write("tail");
    writer->Close();
    EXPECT_EQ(ErrBadFileNameOrNumber, ErrorOf([&] { writer->Write("after close"); }));
    EXPECT_EQ(Bytes(ansi.ToAnsi(kLine) + "\r\ntail"), fs.ReadAllBytes(file));

    // Appending keeps what is there; opening without append empties the file.
    auto more = fs.OpenTextWriter(file, true);
    more->WriteLine("");
    more->WriteLine("last");
    more->Close();
    EXPECT_EQ(kLine + "\r\ntail\r\nlast\r\n", fs.ReadAllText(file));
    fs.OpenTextWriter(file)->Close();
    EXPECT_EQ(0u, fs.FileSize(file));

    // Whole-file text goes the same way.
    fs.WriteAllText(At("whole.txt"), kLine + "\r\n");
    EXPECT_EQ(Bytes(ansi.ToAnsi(kLine) + "\r\n"), fs.ReadAllBytes(At("whole.txt")));
}

TEST(AnsiContract, ReaderSplitsEveryLineEndAndStopsWith62) {
    platform::FileSystem& fs = *Env().files;
    fs.WriteAllBytes(At("mixed.txt"), Bytes(Env().text->ToAnsi(kLine) + "\r\nb\nc\rd\r\n\r\ne"));
    auto reader = fs.OpenTextReader(At("mixed.txt"));
    std::vector<std::string> lines;
    while (!reader->AtEnd()) lines.push_back(reader->ReadLine());
    EXPECT_EQ((std::vector<std::string>{kLine, "b", "c", "d", "", "e"}), lines);
    EXPECT_EQ(ErrInputPastEnd, ErrorOf([&] { reader->ReadLine(); }));

    // A last line end does not make an empty last line; ReadAll takes the rest as it stands.
    fs.WriteAllText(At("ended.txt"), "x\r\ny\r\nz\r\n");
    reader = fs.OpenTextReader(At("ended.txt"));
    EXPECT_EQ("x", reader->ReadLine());
    EXPECT_EQ("y\r\nz\r\n", reader->ReadAll());
    EXPECT_TRUE(reader->AtEnd());
}

}  // namespace
}  // namespace updexar::contract
