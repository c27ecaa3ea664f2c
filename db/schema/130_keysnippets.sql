-- Texts that a key combination types into a memo: Windows virtual-key code, shift state (Shift 1,
-- Alt 2, Ctrl 4; AltGr is Ctrl+Alt) and the text.
CREATE TABLE keysnippets (
    kbsc_id       serial PRIMARY KEY,
    kbsc_keycode  integer NOT NULL,
    kbsc_keystate integer NOT NULL DEFAULT 0,
    kbsc_text     text NOT NULL DEFAULT '',
    UNIQUE (kbsc_keycode, kbsc_keystate)
);
