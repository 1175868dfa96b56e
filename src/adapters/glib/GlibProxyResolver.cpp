#include "adapters/glib/GlibProxyResolver.h"

#include <string>

#include "core/Url.h"

namespace qm {

namespace {

struct LoopbackDirect {
  GObject parent;
  GProxyResolver* inner;
};
struct LoopbackDirectClass {
  GObjectClass parent;
};

void loopbackDirectInit(GProxyResolverInterface* iface);

G_DEFINE_TYPE_WITH_CODE(LoopbackDirect, loopback_direct, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(G_TYPE_PROXY_RESOLVER, loopbackDirectInit))

void loopback_direct_init(LoopbackDirect*) {}

void loopback_direct_class_init(LoopbackDirectClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = [](GObject* object) {
    g_clear_object(&reinterpret_cast<LoopbackDirect*>(object)->inner);
    G_OBJECT_CLASS(loopback_direct_parent_class)->finalize(object);
  };
}

bool direct(const char* uri) {
  auto host = urlHost(std::string(uri ? uri : ""));
  return host && isLoopback(*host);
}

char** directOnly() {
  char** list = g_new0(char*, 2);
  list[0] = g_strdup("direct://");
  return list;
}

GProxyResolver* innerOf(GProxyResolver* resolver) {
  return reinterpret_cast<LoopbackDirect*>(resolver)->inner;
}

void loopbackDirectInit(GProxyResolverInterface* iface) {
  iface->is_supported = [](GProxyResolver*) -> gboolean { return TRUE; };
  iface->lookup = [](GProxyResolver* self, const char* uri, GCancellable* cancellable,
                     GError** error) -> char** {
    if (direct(uri)) return directOnly();
    return g_proxy_resolver_lookup(innerOf(self), uri, cancellable, error);
  };
  iface->lookup_async = [](GProxyResolver* self, const char* uri, GCancellable* cancellable,
                           GAsyncReadyCallback callback, gpointer data) {
    GTask* task = g_task_new(self, cancellable, callback, data);
    if (direct(uri)) {
      g_task_return_pointer(task, directOnly(), reinterpret_cast<GDestroyNotify>(g_strfreev));
      g_object_unref(task);
      return;
    }
    g_proxy_resolver_lookup_async(
        innerOf(self), uri, cancellable,
        [](GObject* inner, GAsyncResult* result, gpointer t) {
          GError* error = nullptr;
          char** proxies = g_proxy_resolver_lookup_finish(G_PROXY_RESOLVER(inner), result, &error);
          if (proxies)
            g_task_return_pointer(G_TASK(t), proxies, reinterpret_cast<GDestroyNotify>(g_strfreev));
          else
            g_task_return_error(G_TASK(t), error);
          g_object_unref(t);
        },
        task);
  };
  iface->lookup_finish = [](GProxyResolver*, GAsyncResult* result, GError** error) -> char** {
    return static_cast<char**>(g_task_propagate_pointer(G_TASK(result), error));
  };
}

}  // namespace

std::optional<ProxySettings> environmentProxy() {
  return proxyFromEnvironment([](const char* name) -> std::optional<std::string> {
    const char* value = g_getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  });
}

GPtr<GProxyResolver> makeProxyResolver(const std::optional<ProxySettings>& settings) {
  GProxyResolver* inner = nullptr;
  if (settings) {
    std::vector<const char*> ignore;
    for (auto& h : settings->ignoreHosts) ignore.push_back(h.c_str());
    ignore.push_back(nullptr);
    inner = g_simple_proxy_resolver_new(
        settings->fallback.empty() ? nullptr : settings->fallback.c_str(),
        const_cast<char**>(ignore.data()));
    for (auto& [scheme, uri] : settings->schemes)
      g_simple_proxy_resolver_set_uri_proxy(G_SIMPLE_PROXY_RESOLVER(inner), scheme.c_str(),
                                            uri.c_str());
  } else {
    inner = G_PROXY_RESOLVER(g_object_ref(g_proxy_resolver_get_default()));
  }
  auto* resolver = static_cast<LoopbackDirect*>(g_object_new(loopback_direct_get_type(), nullptr));
  resolver->inner = inner;
  return GPtr<GProxyResolver>::adopt(G_PROXY_RESOLVER(resolver));
}

GType loopbackDirectResolverType() {
  return loopback_direct_get_type();
}

}  // namespace qm
