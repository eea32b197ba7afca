// DataManager.dll as a client loads it: each ordinal from 1 to 40 is the
// function the export file numbers so, found by name too, and there is no
// 41st.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

TEST(DataManagerExports, OrdinalsOneToFortyAreTheNumberedFunctions) {
  HMODULE library = LoadLibraryW(L"DataManager.dll");
  ASSERT_NE(library, nullptr);
  std::ifstream def(DATAMANAGER_DEF_PATH);
  int numbered = 0;
  for (std::string line, name, at; std::getline(def, line);) {  // "Name @n" lines
    std::istringstream words(line);
    if (!(words >> name >> at) || at.size() < 2 || at[0] != '@') continue;
    const int ordinal = std::stoi(at.substr(1));
    ++numbered;
    const FARPROC by_ordinal = GetProcAddress(library, MAKEINTRESOURCEA(ordinal));
    EXPECT_NE(by_ordinal, nullptr) << ordinal;
    EXPECT_EQ(by_ordinal, GetProcAddress(library, name.c_str())) << name << " @" << ordinal;
  }
  EXPECT_EQ(numbered, 40) << DATAMANAGER_DEF_PATH;
  EXPECT_EQ(GetProcAddress(library, MAKEINTRESOURCEA(41)), nullptr);
  EXPECT_TRUE(FreeLibrary(library));
}

}  // namespace
