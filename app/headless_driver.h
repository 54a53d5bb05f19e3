#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"

namespace app {

// Runs the application from a command script, one command per line; an unknown or
// malformed command prints one error line naming its line number and the script goes on.
class HeadlessDriver {
  public:
    // Writes the screen as a PNG; gives an error message or nothing.
    using Screenshot = std::function<std::optional<std::string>(const std::string& path)>;

    HeadlessDriver(Application& application, std::ostream& out, std::ostream& errors,
                   Screenshot screenshot);

    // Runs every command of the input until `quit` or its end; gives the exit status.
    int run(std::istream& input);
    // Runs one line; false when it was `quit`.
    bool execute(const std::string& line, int lineNumber);

  private:
    using Arguments = std::vector<std::string>;
    void fail(int lineNumber, const std::string& message);
    void tap(const Arguments& args);
    void drag(const Arguments& args);
    void pinch(const Arguments& args);
    void wheel(const Arguments& args);
    void key(const Arguments& args);
    void type(const std::string& text);
    void slide(const Arguments& args);
    void wait(const Arguments& args);
    void screenshot(const Arguments& args);
    void awaitFirstCameraFrame();
    void pick(const Arguments& args);
    void pickCell(const std::string& number);
    void cancel(const Arguments& args);
    void state(const Arguments& args);

    Application& application_;
    std::ostream& out_;
    std::ostream& errors_;
    Screenshot screenshot_;
};

}  // namespace app
