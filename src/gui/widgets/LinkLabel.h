#pragma once

#include <QLabel>
#include <string>

namespace vorlith {

// A link label: its caption underlined in 12-pixel Arial with a hand cursor. It holds an address
// and reports clicks; what a click opens is the window's business.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent = nullptr);

    void SetCaption(const std::string& caption);
    void SetAddress(std::string address) { address_ = std::move(address); }
    const std::string& Address() const { return address_; }

Q_SIGNALS:
    void Clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::string address_;
};

} // namespace vorlith
