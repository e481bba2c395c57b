#pragma once
// Where the picture goes on the printed page and how large it is.
#include <optional>
#include <string>
#include <variant>

namespace cw {

inline constexpr const char* kPrintJobTitle = "Tintcraft: Image# 1 of 1";
inline constexpr const char* kMarginsTooLarge =
    "The margins leave no room for the picture on the page; reduce them and print again.";

// The print options dialog's values, as its fields hold them.
struct PrintOptions {
    bool centreHorizontally = false, centreVertically = false;
    std::string leftMargin = "   0", topMargin = "   0";
    bool fitPage = false;
    bool enlargeHorizontally = false, reduceHorizontally = false;
    std::string horizontalFactor = " 0";
    bool enlargeVertically = false, reduceVertically = false;
    std::string verticalFactor = " 0";
};

struct PrintPlacement {
    int x = 0, y = 0, width = 0, height = 0;  // right and bottom edges exclusive
};

// A field's text without its leading and trailing blanks, as a decimal
// number of digits only; nothing when it holds anything else.
std::optional<int> readPrintField(const std::string& text);
// The message a field that holds no number gives.
std::string notANumberMessage(const std::string& text);

// The printed size and position of a w x h picture on a page of pw x ph
// device pixels; or the message that says why it cannot be printed.
std::variant<PrintPlacement, std::string> placePicture(const PrintOptions& o, int w, int h, int pw, int ph);

} // namespace cw
