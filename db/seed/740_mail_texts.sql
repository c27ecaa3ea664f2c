-- Texts of the mail sender: the invalid-address message, the block of further attachments and the
-- notices on document links that a mail cannot carry.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (13207, 'Ungültige E-Mail-Adresse.', 'Invalid e-mail address.'),
    (17189, 'Verlinkte Anhänge', 'Linked attachments'),
    (26614, 'Anhänge des Mailprogramms', 'Attachments of the mail program'),
    (31006, 'Weitere Dateianhänge:', 'Further attachments:'),
    (34060, 'Warnung! E-Mail enthält verwaiste verlinkte Anhänge!', 'Warning! The e-mail contains orphaned linked attachments!'),
    (34061, 'Warnung! Verlinkte Anhänge nicht unterstützt!', 'Warning! Linked attachments are not supported!')
ON CONFLICT (t_nr) DO NOTHING;
