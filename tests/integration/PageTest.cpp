// The page's own offers, as a user meets them: its context menu, spelling in its fields, its
// permission requests, and what a screen reader finds of the window.
#include <set>

#include "adapters/webkit/WebKitCompat.h"
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

// The server's page with a link and a misspelt field on top, its context menus noted.
struct PageMenuTest : AppTest {
  void SetUp() override {
    startSampleServer();
    g_setenv("LANGUAGE", "en_US", TRUE);
    start();
  }
  void start(bool developer = false) {
    app.reset();
    options.developer = developer;
    launch();
    ASSERT_TRUE(shows(local + "/"));
    ASSERT_EQ(evaluate(view(), kLinkAndField), "ok");
    g_signal_connect(view(), "context-menu", G_CALLBACK(Menus::note), &menus);
    focusPage();
  }
  Menus menus;
};

TEST_F(PageMenuTest, ALinkOffersANewWindowAndCopyAndTheInspectorOnlyToDevelopers) {
  for (bool developer : {false, true}) {
    if (developer) start(true);
    auto& link = menus.open(view(), "qa");
    EXPECT_TRUE(link.contains(WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK_IN_NEW_WINDOW));
    EXPECT_TRUE(link.contains(WEBKIT_CONTEXT_MENU_ACTION_COPY_LINK_TO_CLIPBOARD));
    EXPECT_EQ(link.contains(WEBKIT_CONTEXT_MENU_ACTION_INSPECT_ELEMENT), developer);
  }
}

TEST_F(PageMenuTest, ALinkIsCopiedOrOpenedOutsideAWordGetsGuessesAPermissionAnAnswer) {
  menus.open(view(), "qa");
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

// The accessibility tree of every application on the desktop, as a screen reader reads it
// through the desktop's AT-SPI library: a line a node, "role|name", depth first.
std::string accessibleTree() {
  const char* script = R"(
import pyatspi
def walk(node, depth):
    if node is None or depth > 50: return
    print(node.getRoleName() + '|' + (node.name or ''))
    for child in node: walk(child, depth + 1)
for app in pyatspi.Registry.getDesktop(0): walk(app, 0)
)";
  const char* argv[] = {"/usr/bin/python3", "-c", script, nullptr};
  char* out = nullptr;
  g_spawn_sync(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_STDERR_TO_DEV_NULL, nullptr,
               nullptr, &out, nullptr, nullptr, nullptr);
  return "\n" + std::string(out ? GCharPtr(out).get() : "");
}

TEST_F(AppTest, ScreenReadersFindTheWindowAndWhatTheAppAddsOverAtSpi) {
  prepare();
  g_setenv("QUARN_BUNDLE_DIR", bundle.c_str(), TRUE);
  // The program, with the desktop's accessibility on, as a screen reader's user runs it.
  auto program = spawn({kProgram}, {{"GTK_A11Y", nullptr}, {"NO_AT_BRIDGE", nullptr}});
  ASSERT_TRUE(program);
  // What a screen reader must find: the window, its menus, the page's view and the find bar.
  std::string tree;
  for (std::string node :
       {"frame|Quillmarsh Quarn", "menu item|Edit", "filler|Page", "entry|Find in page"})
    EXPECT_TRUE(spinUntil(
        [&] { return (tree = accessibleTree()).find("\n" + node + "\n") != std::string::npos; },
        60))
        << node << " not in" << tree;
  // The page's own content is there only where the toolkit can take it from the web engine.
  EXPECT_EQ(tree.find("\ndocument web|") != std::string::npos, webkit::kPagesReachScreenReaders);
  g_subprocess_send_signal(program.get(), SIGTERM);
  g_subprocess_wait(program.get(), nullptr, nullptr);
}

}  // namespace
}  // namespace qm::itest
