#pragma once

#include <string>

namespace tessel::platform {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Icon { None, Exclamation };
enum class Answer { Ok, Cancel, Yes, No };

inline constexpr const char* kProgramTitle = "Tessel";

// A modal message box. Line breaks inside the prompt are CR LF. Closing a box that has a Cancel
// button (close box, Escape) answers Cancel.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual Answer show(const std::string& prompt, Buttons buttons = Buttons::Ok,
                        Icon icon = Icon::None, const std::string& title = kProgramTitle) = 0;
};

}  // namespace tessel::platform
