// Locales for tests of locale-dependent texts, made with localedef where the
// system lacks them: glibc finds a locale in the folder LOCPATH names.
#ifndef VANTREL_TESTS_SUPPORT_TEST_LOCALES_H_
#define VANTREL_TESTS_SUPPORT_TEST_LOCALES_H_

#include <string>
#include <vector>

namespace vantrel::test {

// The locales the tests use, as glibc names them ("cs_CZ.UTF-8").
const std::vector<std::string>& TestLocaleNames();

// A folder holding the locales `names`, made once per process (about a
// second each) and removed at its end; "" when localedef or the locale
// sources are missing. Set LOCPATH to it before setlocale.
std::string TestLocaleFolder(const std::vector<std::string>& names = TestLocaleNames());

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_SUPPORT_TEST_LOCALES_H_
