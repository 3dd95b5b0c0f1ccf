// The host's progress bar. On a terminal it draws a bar with the title and
// the percentage on stderr; elsewhere it only remembers what it was told.
#pragma once

#include <string>
#include <vector>

class ProgressBar {
  public:
    explicit ProgressBar(bool draw);
    void Start(const std::wstring& title);
    void Update(int percent, bool show_percent, const std::wstring* title);
    void End();

    bool open() const { return open_; }
    const std::wstring& title() const { return title_; }
    int percent() const { return percent_; }
    // Every title the bar showed since it was made, in order.
    const std::vector<std::wstring>& titles() const { return titles_; }

  private:
    void Draw();
    bool draw_;
    bool open_ = false;
    std::wstring title_;
    int percent_ = 0;
    std::vector<std::wstring> titles_;
};
