#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

namespace tessel::ui {

// Bars of blocked connections, oldest left, with a date under the bars that start a period and the
// highest bar's value at the top. Drawn with the widget's own palette, so it reads on light and
// dark desktops alike.
class HourChart final : public QWidget {
    Q_OBJECT
public:
    struct Bar final {
        std::uint64_t value = 0;
        QString label;  // shown under the bar when not empty and there is room
    };

    explicit HourChart(QWidget* parent = nullptr);

    void setBars(std::vector<Bar> bars);
    const std::vector<Bar>& bars() const { return bars_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawLabels(QPainter& painter, const QRectF& plot) const;

    std::vector<Bar> bars_;
    std::uint64_t max_ = 0;
};

}  // namespace tessel::ui
