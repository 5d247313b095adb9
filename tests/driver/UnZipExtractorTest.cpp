// The extraction adapter of the update run, on real archives.
#include "driver/UnZipExtractor.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/Sandbox.h"

namespace {

// A quiet payload (as the manifest extracts them) replaces what the task
// directory holds; one that would ask, with nobody to answer, keeps it.
TEST(UnZipExtractor, AQuietPayloadOverwritesWhatIsThere) {
  for (const bool quiet : {true, false}) {
    SCOPED_TRACE(quiet ? "quiet" : "asking");
    vextest::Sandbox box;
    box.Write("C:\\Task\\a.txt", "old");
    box.Write("C:\\Task\\kept.txt", "kept");
    box.MakeDir("C:\\Work");
    const std::string make = "cd '" + box.Host("C:\\Work").string() +
                             "' && python3 -c \"import zipfile; z = zipfile.ZipFile('pay.zip', 'w'); "
                             "z.writestr('a.txt', b'new'); z.writestr('b.txt', b'added'); z.close()\"";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "no python3";
    driver::TUnZipExtractor extractor;
    EXPECT_TRUE(extractor.ExtractPayload("C:\\Work\\pay.zip", "C:\\Task", quiet));
    EXPECT_EQ(box.Read("C:\\Task\\a.txt"), quiet ? "new" : "old");
    EXPECT_EQ(box.Read("C:\\Task\\b.txt"), "added");
    EXPECT_EQ(box.Read("C:\\Task\\kept.txt"), "kept");
  }
}

}  // namespace
