#pragma once

namespace corvina {

// Makes the workers' Synchronize calls run from the Qt event loop: each
// queued call posts an event that runs CheckSynchronize on the main thread.
// Call on the main thread once the application object exists.
void RunSynchronizeFromEventLoop();

}  // namespace corvina
