#pragma once
// The text picker's list: which rows a filter text shows, and the model the grid reads them
// through. The searched texts are case-folded once when the rows are read, so a keystroke
// compares bytes; the model keeps the shown rows as a list of the data class's row numbers.

#include <QAbstractTableModel>
#include <QByteArray>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

class TVoskClass;
class TVoskDataModel;

// The texts of a row set in Qt's simple case folding (the folding of QString's case-insensitive
// compares), UTF-8, each row's texts one after another, each ended by a NUL byte. Folding every
// code point alike makes a byte search of a folded filter match exactly where a case-insensitive
// QString::contains does.
class TFoldedTexts final {
public:
    static QByteArray Fold(QStringView text);

    void Clear();
    void Reserve(size_t rows, size_t bytes);
    // Rows are added in order, each with the same number of texts; a null text is added empty.
    void AddText(const char* utf8, size_t length);
    void AddText(const QString& text);
    // blank: the row has no text at all (a record being inserted) and shows under any filter.
    void EndRow(bool blank = false);
    int Rows() const { return int(m_start.size()) - 1; }

    // The rows containing folded (the folded filter; not empty, no NUL) or blank, in order.
    void Find(const QByteArray& folded, std::vector<int>& rows) const;
    // Whether text number field of row is folded.
    bool TextEquals(int row, int field, const QByteArray& folded) const;

private:
    std::string m_bytes;
    std::vector<uint32_t> m_start{0}; // where each row begins, and the end
    std::vector<int> m_blank;
};

// The text list as the grid shows it: the rows whose number or one of three texts contains the
// filter (case-insensitive, taken literally), coloured by the flags of the named SQL. A blank row
// (one being inserted) always shows. Shown rows keep the data class's order; edits and headers
// go to the data model below.
class TText0FilterModel final : public QAbstractTableModel {
public:
    TText0FilterModel(TVoskClass* dataClass, TVoskDataModel* source, QObject* parent);

    void SetFilterText(const QString& text);
    // Resolves the searched and flag columns after the class's columns changed.
    void resolve();

    QModelIndex mapToSource(const QModelIndex& index) const;
    QModelIndex mapFromSource(const QModelIndex& source) const;
    // The source row of the shown row nearest after source row row, else of the last one
    // before it; -1 when none shows.
    int NearestShown(int row) const;
    // The first shown row whose German text is text, ignoring case, when text is the filter;
    // otherwise the first of all rows. -1 when none.
    int FindFeld0(const QString& text) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    void multiData(const QModelIndex& index, QModelRoleDataSpan roleDataSpan) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void rebuildTexts();
    void refilter();
    // One row through Qt's search, for rows that come in one by one.
    bool accepts(int sourceRow) const;
    bool flag(int sourceRow, int col) const;
    QVariant display(const QModelIndex& source) const;
    // The first shown position whose source row is >= row.
    int lowerBound(int row) const;

    QPointer<TVoskClass> m_class; // the data model resets once more when the class goes
    TVoskDataModel* m_source;
    QString m_text;
    QByteArray m_folded;
    TFoldedTexts m_texts;
    bool m_textsStale = true; // rows changed since m_texts was built
    bool m_all = true;        // no filter: every row shows, m_rows unused
    int m_allCount = 0;
    std::vector<int> m_rows;    // source rows shown, ascending
    std::vector<int> m_cols;    // t_nr, t_feld0, t_kundtxt0, t_feld3
    std::vector<bool> m_asText; // per m_cols: read as the server's text
    int m_gray = -1, m_red = -1, m_bold = -1;
    int m_removeFirst = -1, m_removeLast = -1;
};
