-- Column captions of the form designer's report list.
INSERT INTO tablefieldinfo (tablename, field, alias) VALUES
    ('rtf', '', 'Formulare'),
    ('rtf', 'rtf_id', 'Nr.'),
    ('rtf', 'rtf_name', 'Bezeichnung'),
    ('rtf', 'rtf_blanksql', 'Reines SQL'),
    ('rtf', 'rtf_script', 'Skript')
ON CONFLICT DO NOTHING;
