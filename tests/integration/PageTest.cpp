// The page's own offers, as a user meets them: its context menu, spelling in its fields, its
// permission requests, and what a screen reader finds of the window.
#include <set>

#include "adapters/gtk/WebKitCompat.h"
#include "integration/Harness.h"

// The X window of a surface (gdk/x11/gdkx.h, whose Xlib macros clash with test names).
extern "C" unsigned long gdk_x11_surface_get_xid(GdkSurface* surface);

namespace qm::itest {
namespace {

// Clicks `button` at (x, y) of `widget` on the X display, as the user's mouse does.
void click(GtkWidget* widget, double x, double y, int button = 1) {
  GtkNative* native = gtk_widget_get_native(widget);
  graphene_point_t at = GRAPHENE_POINT_INIT(float(x), float(y)), in{};
  ASSERT_TRUE(gtk_widget_compute_point(widget, GTK_WIDGET(native), &at, &in));
  double dx = 0, dy = 0;
  gtk_native_get_surface_transform(native, &dx, &dy);
  auto xid = gdk_x11_surface_get_xid(gtk_native_get_surface(native));
  xdotool("mousemove --window " + std::to_string(xid) + " " + std::to_string(int(in.x + dx)) + " " +
          std::to_string(int(in.y + dy)) + " click " + std::to_string(button));
}

// The centre of a page element, in the view's coordinates.
std::pair<double, double> centre(WebKitWebView* view, const std::string& id) {
  auto at =
      evaluate(view, "var r = document.getElementById('" + id +
                         "').getBoundingClientRect(); (r.x + 10) + ',' + (r.y + r.height / 2)");
  auto comma = at.find(',');
  return {std::stod(at.substr(0, comma)), std::stod(at.substr(comma + 1))};
}

// The item of the open context menu with this label, once the menu shows.
GtkWidget* menuItem(WebKitWebView* view, const std::string& label) {
  std::vector<std::string> seen;
  auto labelled = [&](GtkWidget* w) {
    return GTK_IS_LABEL(w) && gtk_widget_get_ancestor(w, GTK_TYPE_POPOVER) &&
           seen.emplace_back(gtk_label_get_text(GTK_LABEL(w))) == label;
  };
  GtkWidget* found = nullptr;
  spinUntil([&] {
    seen.clear();
    auto all = widgets(GTK_WIDGET(view), labelled, true);
    return found = all.empty() ? nullptr : all[0];
  });
  EXPECT_TRUE(found) << label << " not in " << testing::PrintToString(seen);
  while (found && !g_str_equal(G_OBJECT_TYPE_NAME(found), "GtkModelButton"))
    found = gtk_widget_get_parent(found);
  return found;
}

// The actions of each context menu the view shows, as the app leaves them.
struct Menus {
  std::vector<std::set<int>> shown;
  static gboolean note(WebKitWebView*, WebKitContextMenu* menu, WebKitHitTestResult*, Menus* self) {
    std::set<int> actions;
    for (GList* l = webkit_context_menu_get_items(menu); l; l = l->next)
      actions.insert(webkit_context_menu_item_get_stock_action(WEBKIT_CONTEXT_MENU_ITEM(l->data)));
    self->shown.push_back(actions);
    return FALSE;
  }
  // Right-clicks the element and waits for its menu.
  const std::set<int>& open(WebKitWebView* view, const std::string& id) {
    auto [x, y] = centre(view, id);
    std::size_t before = shown.size();
    click(GTK_WIDGET(view), x, y, 3);
    EXPECT_TRUE(spinUntil([&] { return shown.size() > before; }));
    static const std::set<int> none;
    return shown.size() > before ? shown.back() : none;
  }
};

const std::string kLinkAndField =
    "document.body.insertAdjacentHTML('afterbegin', '<div style=\"position:fixed;top:0;left:0;"
    "z-index:99999;background:white;font-size:30px\"><a id=qa href=\"http://127.0.0.2:8790/x\">"
    "studio</a><br><textarea id=qt>speling</textarea></div>'); 'ok'";

TEST_F(AppTest, ContextMenuKeepsTheAppsRulesCopiesLinksGuessesSpellingAndPermissionsAreLogged) {
  startSampleServer();
  g_setenv("LANGUAGE", "en_US", TRUE);
  for (bool developer : {false, true}) {
    app.reset();
    launch(false, developer ? std::vector<std::string>{"--developer"} : std::vector<std::string>{});
    ASSERT_TRUE(shows(local + "/"));
    ASSERT_EQ(evaluate(view(), kLinkAndField), "ok");
    Menus menus;
    g_signal_connect(view(), "context-menu", G_CALLBACK(Menus::note), &menus);
    focusPage();

    auto& link = menus.open(view(), "qa");
    EXPECT_TRUE(link.contains(WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK_IN_NEW_WINDOW));
    EXPECT_TRUE(link.contains(WEBKIT_CONTEXT_MENU_ACTION_COPY_LINK_TO_CLIPBOARD));
    EXPECT_EQ(link.contains(WEBKIT_CONTEXT_MENU_ACTION_INSPECT_ELEMENT), developer);
    if (developer) break;
    // The link's address is copied to the desktop's clipboard.
    GtkWidget* copy = menuItem(view(), "Copy Link Location");
    ASSERT_TRUE(copy);
    // Chosen as the keyboard chooses it (a pointer click on the menu's popup is not delivered
    // reliably under Xvfb).
    gtk_widget_activate(copy);
    std::string copied;
    EXPECT_TRUE(spinUntil([&] { return (copied = clipboardText()) == "http://127.0.0.2:8790/x"; }))
        << copied;
    // In a new window, it goes where any new window of a sibling app not installed goes.
    menus.open(view(), "qa");
    GtkWidget* open = menuItem(view(), "Open Link in New Window");
    ASSERT_TRUE(open);
    gtk_widget_activate(open);
    EXPECT_TRUE(spinUntil(
        [&] { return files::read(home.path() + "/opened") == "http://127.0.0.2:8790/x\n"; }));
    EXPECT_EQ(webkit_web_view_get_uri(view()), local + "/");
    // A misspelt word in a field offers the dictionary's guesses.
    auto& field = menus.open(view(), "qt");
    EXPECT_TRUE(field.contains(WEBKIT_CONTEXT_MENU_ACTION_SPELLING_GUESS));
    EXPECT_TRUE(field.contains(WEBKIT_CONTEXT_MENU_ACTION_PASTE));
    // Permission requests get the one policy's answer at once, and it is logged.
    logged.clear();
    run(view(),
        "Promise.all([Notification.requestPermission(), new Promise(done => "
        "navigator.geolocation.getCurrentPosition(() => done('granted'), e => done(e.code == "
        "e.PERMISSION_DENIED ? 'denied' : 'failed'))), ...['geolocation', "
        "'notifications'].map(name => navigator.permissions.query({name}).then(s => "
        "s.state))]).then(a => answers = a.join(), e => answers = "
        "String(e))");
    std::string answers;
    EXPECT_TRUE(
        spinUntil([&] { return !(answers = evaluate(view(), "window.answers || ''")).empty(); }));
    EXPECT_EQ(answers, "granted,denied,denied,granted");
    for (const char* line :
         {"a page asked for notifications: allowed", "a page asked for location: denied",
          "a page queried location: denied", "a page queried notifications: allowed"})
      EXPECT_TRUE(wasLogged(line)) << line << " not in " << testing::PrintToString(logged);
  }
}

// An AT-SPI node as a screen reader reads it: its role's name and its accessible name.
using Node = std::pair<std::string, std::string>;

Owned<GVariant> callAtSpi(GDBusConnection* bus, const std::string& dest, const std::string& path,
                          const char* interface, const char* method, GVariant* args) {
  return Owned<GVariant>(g_dbus_connection_call_sync(bus, dest.c_str(), path.c_str(), interface,
                                                     method, args, nullptr, G_DBUS_CALL_FLAGS_NONE,
                                                     5000, {}, {}));
}

// Every node below (dest, path), depth first, as far as `limit` nodes: from the registry's root,
// each application on the bus (the one tested alone).
void readTree(GDBusConnection* bus, std::vector<Node>& out,
              const std::string& dest = "org.a11y.atspi.Registry",
              const std::string& path = "/org/a11y/atspi/accessible/root",
              std::size_t limit = 3000) {
  if (out.size() >= limit) return;
  auto role = callAtSpi(bus, dest, path, "org.a11y.atspi.Accessible", "GetRoleName", nullptr);
  auto name = callAtSpi(bus, dest, path, "org.freedesktop.DBus.Properties", "Get",
                        g_variant_new("(ss)", "org.a11y.atspi.Accessible", "Name"));
  auto children = callAtSpi(bus, dest, path, "org.a11y.atspi.Accessible", "GetChildren", nullptr);
  if (!role || !name || !children) return;
  const char* r = nullptr;
  GVariant* inner = nullptr;
  g_variant_get(role.get(), "(&s)", &r);
  g_variant_get(name.get(), "(v)", &inner);
  out.emplace_back(r, g_variant_get_string(Owned<GVariant>(inner).get(), nullptr));
  GVariantIter* iter = nullptr;
  const char *childDest = nullptr, *childPath = nullptr;
  g_variant_get(children.get(), "(a(so))", &iter);
  while (g_variant_iter_loop(iter, "(&s&o)", &childDest, &childPath))
    readTree(bus, out, childDest, childPath, limit);
  g_variant_iter_free(iter);
}

TEST_F(AppTest, ScreenReadersFindTheWindowAndWhatTheAppAddsOverAtSpi) {
  prepare();
  g_setenv("QUARN_BUNDLE_DIR", bundle.c_str(), TRUE);
  // The program, with the desktop's accessibility on, as a screen reader's user runs it.
  auto program = spawn({kProgram}, {{"GTK_A11Y", nullptr}, {"NO_AT_BRIDGE", nullptr}});
  ASSERT_TRUE(program);
  auto session = GPtr<GDBusConnection>::adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, {}, {}));
  auto address = callAtSpi(session.get(), "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus",
                           "GetAddress", nullptr);
  ASSERT_TRUE(address);
  const char* at = nullptr;
  g_variant_get(address.get(), "(&s)", &at);
  auto a11y = GPtr<GDBusConnection>::adopt(g_dbus_connection_new_for_address_sync(
      at,
      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                           G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr));
  ASSERT_TRUE(a11y);
  // What a screen reader must find: the window, its menus and the page's view.
  for (Node node :
       {Node{"window", "Quillmarsh Quarn"}, {"menu item", "Edit"}, {"widget", "Page"}}) {
    std::vector<Node> tree;
    EXPECT_TRUE(spinUntil(
        [&] {
          tree.clear(), readTree(a11y.get(), tree);
          return std::find(tree.begin(), tree.end(), node) != tree.end();
        },
        60))
        << node.first << " \"" << node.second << "\" not in " << testing::PrintToString(tree);
  }
  // The page's own content is there only where the toolkit can take it from the web engine.
  std::vector<Node> tree;
  readTree(a11y.get(), tree);
  EXPECT_EQ(
      std::any_of(tree.begin(), tree.end(), [](auto& n) { return n.first == "document web"; }),
      gtk::kPagesReachScreenReaders);
  g_subprocess_send_signal(program.get(), SIGTERM);
  g_subprocess_wait(program.get(), nullptr, nullptr);
}

}  // namespace
}  // namespace qm::itest
