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

TEST(PagePolicy, SeparatorsLeftOnlyBetweenEntries) {
  using Kept = std::vector<std::size_t>;
  std::pair<std::vector<bool>, Kept> rows[] = {
      {{}, {}},
      {{true, true}, {}},
      {{true, false, true}, {1}},
      {{false, true, true, false}, {0, 2, 3}},
      {{false, false, true, false, true}, {0, 1, 2, 3}},
  };
  for (auto& [separators, kept] : rows) EXPECT_EQ(tidySeparators(separators), kept);
}

TEST(PagePolicy, OnlyNotificationsAreAllowedWhetherAskedOrQueried) {
  std::tuple<std::string, Permission, bool> rows[] = {
      {"notifications", Permission::Notifications, true},
      {"geolocation", Permission::Geolocation, false},
      {"camera", Permission::Camera, false},
      {"microphone", Permission::Microphone, false},
      {"clipboard-read", Permission::ClipboardRead, false},
      {"display-capture", Permission::ScreenCapture, false},
      {"Notifications", Permission::Other, false},
      {"midi", Permission::Other, false},
  };
  for (auto& [name, permission, allowed] : rows) {
    EXPECT_EQ(permissionNamed(name), permission) << name;
    EXPECT_EQ(allowPermission(permissionNamed(name)), allowed) << name;
  }
  for (auto p : {Permission::DeviceList, Permission::ProtectedMedia, Permission::MediaPlugins,
                 Permission::StorageAccess, Permission::PointerLock})
    EXPECT_FALSE(allowPermission(p)) << permissionLabel(p);
}

TEST(PagePolicy, SpellLanguagesFollowTheLocaleInOrderEachOnce) {
  using Names = std::vector<std::string>;
  std::pair<Names, Names> rows[] = {
      {{"de_DE.UTF-8", "de_DE", "de.UTF-8", "de", "en_GB", "en", "C"},
       {"de_DE", "de", "en_GB", "en"}},
      {{"sr_RS.UTF-8@latin", "sr_RS@latin", "sr_RS", "sr"}, {"sr_RS", "sr"}},
      {{"C.UTF-8", "C", "POSIX", ""}, {}},
  };
  for (auto& [names, languages] : rows) EXPECT_EQ(spellLanguages(names), languages);
}

}  // namespace qm::web
