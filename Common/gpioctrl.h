#pragma once
// One sysfs GPIO output line: export, direction, value, unexport.
// Every call opens and closes its sysfs file; nothing stays open.

class GpioCtrl
{
public:
    explicit GpioCtrl(unsigned int line);
    ~GpioCtrl();
    GpioCtrl(const GpioCtrl &) = delete;
    GpioCtrl &operator=(const GpioCtrl &) = delete;

    bool set_export();
    bool set_unexport();
    bool set_direction(const char *dir);
    int set_value(unsigned int v);
    int get_value();

    unsigned int line() const { return m_line; }
    bool isExported() const { return m_is_export; }

private:
    bool writeLineNumber(const char *what);

    unsigned int m_line;
    int m_fd = -1;
    int m_len = 0;
    bool m_is_export = false;
    bool m_unexported = false;
    bool m_is_diret = false;
};
