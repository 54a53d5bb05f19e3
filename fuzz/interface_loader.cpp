// Interface resources (resources/*.json): any text either builds its objects or is refused
// with one InterfaceError. The resource is loaded for a preview screen as its owner, as
// Preview.json is, with the application's own classes known, as MainWindow.json needs.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "app/interface_classes.h"
#include "platform/ui/image_named.h"
#include "platform/ui/interface_loader.h"
#include "preview/preview.h"

using platform::ui::InterfaceError;
using platform::ui::InterfaceLoader;
using platform::ui::InterfaceObject;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    app::registerInterfaceClasses();
    platform::ui::setScreenScale(1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto screen = std::make_shared<preview::Preview>();
    InterfaceObject owner;
    owner.controller = screen;
    owner.connectable = screen.get();
    try {
        InterfaceLoader::loadText(
            "Fuzzed", std::string_view(reinterpret_cast<const char*>(data), size), &owner);
    } catch (const InterfaceError& error) {
        // The refusal a malformed resource gets; anything else escaping is a fault.
        // ORVEX_FUZZ_VERBOSE=1 shows it, for a look at one input.
        if (std::getenv("ORVEX_FUZZ_VERBOSE")) std::fprintf(stderr, "%s\n", error.what());
    }
    return 0;
}
