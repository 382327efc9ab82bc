#include "text_fold.h"

#include <algorithm>
#include <new>

namespace facepad::sim {

namespace {

// "2" also takes off diacritics written as separate combining marks ("u" + U+0308).
const char* const kTokenizerArguments[] = {"remove_diacritics", "2"};

// One tokenizer per connection, which SQLite uses from one thread at a time.
class Folder {
public:
    // Throws StoreError when the tokenizer cannot be made.
    Folder(const fts5_tokenizer& methods, void* tokenizerContext) : m_methods(methods)
    {
        if (m_methods.xCreate(tokenizerContext, const_cast<const char**>(kTokenizerArguments), 2,
                              &m_instance) != SQLITE_OK) {
            throw StoreError("cannot prepare the user search's folding");
        }
    }
    ~Folder() { m_methods.xDelete(m_instance); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // SQLite's status: SQLITE_OK, or why `text` could not be folded.
    int Fold(const char* text, int size, std::string& folded)
    {
        Progress progress{text, 0, &folded};
        const int status = m_methods.xTokenize(m_instance, &progress, FTS5_TOKENIZE_DOCUMENT, text,
                                               size, &Folder::TakeToken);
        folded.append(text + progress.copied, text + size);
        return status;
    }

private:
    struct Progress {
        const char* text;
        int copied;  // bytes of `text` already in `folded`
        std::string* folded;
    };

    // The tokenizer hands over each run of letters and digits folded, with where it lies; what
    // lies between two runs is copied as it is.
    static int TakeToken(void* context, int /*flags*/, const char* token, int tokenSize, int start,
                         int end)
    {
        auto& progress = *static_cast<Progress*>(context);
        try {
            // Runs come in order without overlap; the max only keeps a range from going backwards.
            progress.folded->append(progress.text + progress.copied,
                                    progress.text + std::max(start, progress.copied));
            progress.folded->append(token, static_cast<std::size_t>(tokenSize));
        } catch (const std::bad_alloc&) {
            return SQLITE_NOMEM;
        }
        progress.copied = std::max(end, progress.copied);
        return SQLITE_OK;
    }

    fts5_tokenizer m_methods;
    Fts5Tokenizer* m_instance = nullptr;
};

void FoldSql(sqlite3_context* context, int /*count*/, sqlite3_value** arguments)
{
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(arguments[0]));
    const int size = sqlite3_value_bytes(arguments[0]);
    std::string folded;
    int status = SQLITE_NOMEM;
    try {
        status = static_cast<Folder*>(sqlite3_user_data(context))->Fold(text, size, folded);
    } catch (const std::bad_alloc&) {
    }
    if (status != SQLITE_OK) {
        sqlite3_result_error_code(context, status);
        return;
    }
    sqlite3_result_text64(context, folded.data(), folded.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void DeleteFolder(void* folder)
{
    delete static_cast<Folder*>(folder);
}

// The connection's FTS5 interface, or null when this SQLite has none.
fts5_api* Fts5Of(Connection& db)
{
    fts5_api* api = nullptr;
    sqlite3_stmt* query = nullptr;
    if (sqlite3_prepare_v2(db.Handle(), "SELECT fts5(?1)", -1, &query, nullptr) == SQLITE_OK) {
        sqlite3_bind_pointer(query, 1, static_cast<void*>(&api), "fts5_api_ptr", nullptr);
        sqlite3_step(query);
    }
    sqlite3_finalize(query);
    return api;
}

}  // namespace

void AddFoldFunction(Connection& db)
{
    fts5_api* api = Fts5Of(db);
    fts5_tokenizer methods{};
    void* tokenizerContext = nullptr;
    if (api == nullptr ||
        api->xFindTokenizer(api, "unicode61", &tokenizerContext, &methods) != SQLITE_OK) {
        throw StoreError(
            "this SQLite was built without FTS5, whose Unicode tables the user "
            "search needs");
    }
    // SQLite owns the folder from here on, and deletes it even when the function is refused.
    auto* folder = new Folder(methods, tokenizerContext);
    db.Check(sqlite3_create_function_v2(db.Handle(), kFoldFunction, 1,
                                        SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                        folder, &FoldSql, nullptr, nullptr, &DeleteFolder),
             "adding the user search's folding");
}

}  // namespace facepad::sim
