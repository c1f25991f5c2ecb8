// createUpdater: the updater session with every component attached (HTTP client, MySQL
// connection and queries, ZIP extractor, script runner), showing itself through `view`.
// FormCreate is not run yet: the caller runs it when its view is ready.
#pragma once

#include <memory>

#include "app/frm_auto_update.h"
#include "app/options.h"

namespace app {

std::unique_ptr<TfrmAutoUpdate> createUpdater(View& view, const UpdaterOptions& options);

}  // namespace app
