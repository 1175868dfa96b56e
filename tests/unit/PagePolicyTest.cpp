#include <gtest/gtest.h>

#include "web/PagePolicy.h"

namespace qm::web {

TEST(PagePolicy, ContextMenuKeepsWhatStaysWithinTheAppAndInspectOnlyForDevelopers) {
  using E = MenuEntry;
  const MenuContext suite{}, own{false, true}, developer{true, false};
  // entry, kept on the suite's pages, on the app's own, with the developer option
  std::tuple<E, bool, bool, bool> rows[] = {
      {E::Reload, true, false, true},
      {E::InspectElement, false, false, true},
      {E::OpenMediaInNewWindow, false, false, false},
      {E::Other, false, false, false},
  };
  for (auto& [entry, onSuite, onOwn, forDeveloper] : rows) {
    EXPECT_EQ(keepMenuEntry(entry, suite), onSuite) << int(entry);
    EXPECT_EQ(keepMenuEntry(entry, own), onOwn) << int(entry);
    EXPECT_EQ(keepMenuEntry(entry, developer), forDeveloper) << int(entry);
  }
  for (E entry : {E::OpenLink, E::OpenLinkInNewWindow, E::CopyAddress, E::Download, E::Editing,
                  E::Spelling})  // kept everywhere
    for (auto& context : {suite, own, developer})
      EXPECT_TRUE(keepMenuEntry(entry, context)) << int(entry);
}

TEST(PagePolicy, OnlyNotificationsAreAllowedSpellingSkipsLocalesOfNoLanguageSeparatorsAreTidied) {
  EXPECT_EQ(
      std::pair(allowPermission(Permission::Notifications), allowPermission(Permission::Camera)),
      std::pair(true, false));
  EXPECT_EQ(spellLanguages({"de_DE.UTF-8", "", "C", "POSIX", "de_DE@euro", "de"}),
            (std::vector<std::string>{"de_DE", "de"}));
  // Separators left at the ends or doubled by removals go; one between two entries stays.
  EXPECT_EQ(tidySeparators({true, false, true, true, false, true}),
            (std::vector<std::size_t>{1, 3, 4}));
}

}  // namespace qm::web
