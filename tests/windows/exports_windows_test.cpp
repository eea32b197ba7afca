// DataManager.dll as a client loads it: each ordinal from 1 to 40 is the
// function the export file numbers so, found by name too, and there is no
// 41st.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The export file's "Name @n" lines, in order.
std::vector<std::pair<std::string, int>> Numbered() {
  std::ifstream def(DATAMANAGER_DEF_PATH);
  std::vector<std::pair<std::string, int>> numbered;
  for (std::string line; std::getline(def, line);) {
    std::istringstream words(line);
    std::string name, at;
    if (words >> name >> at && at.size() > 1 && at[0] == '@') {
      numbered.emplace_back(name, std::stoi(at.substr(1)));
    }
  }
  return numbered;
}

TEST(DataManagerExports, OrdinalsOneToFortyAreTheNumberedFunctions) {
  const std::vector<std::pair<std::string, int>> numbered = Numbered();
  ASSERT_EQ(numbered.size(), 40u) << DATAMANAGER_DEF_PATH;
  HMODULE library = LoadLibraryW(L"DataManager.dll");
  ASSERT_NE(library, nullptr);
  for (const auto& [name, ordinal] : numbered) {
    const FARPROC by_ordinal = GetProcAddress(library, MAKEINTRESOURCEA(ordinal));
    EXPECT_NE(by_ordinal, nullptr) << ordinal;
    EXPECT_EQ(by_ordinal, GetProcAddress(library, name.c_str())) << name << " @" << ordinal;
  }
  EXPECT_EQ(GetProcAddress(library, MAKEINTRESOURCEA(41)), nullptr);
  EXPECT_TRUE(FreeLibrary(library));
}

}  // namespace
