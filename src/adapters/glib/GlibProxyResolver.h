#pragma once
// The proxies of the app's own requests: loopback addresses always direct, other hosts as the
// proxy environment variables say when one is set, else as the desktop's default resolver does.

#include <gio/gio.h>

#include <optional>

#include "core/Handle.h"
#include "core/Proxy.h"

namespace qm {

// The settings from the process's environment.
std::optional<ProxySettings> environmentProxy();
// With settings from environmentProxy(), read on a thread that may read the environment.
GPtr<GProxyResolver> makeProxyResolver(const std::optional<ProxySettings>& settings);
// The type of the resolver that sends loopback direct; registered before any thread asks for it.
GType loopbackDirectResolverType();

}  // namespace qm
