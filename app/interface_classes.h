#pragma once

namespace app {

// Makes the application's own classes known to the interface-resource loader.
void registerInterfaceClasses();

}  // namespace app
