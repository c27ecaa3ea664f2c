-- Number ranges of the demo: offers of the address module (the second is the default) and the
-- dialog module's single range.
INSERT INTO nummernkreis (nc_ident, nc_description, nc_modulname, nc_default, nc_num, nc_prefix,
                          nc_digits) VALUES
    ('ANG-INLAND', 'Angebote Inland', 'Dialoge', false, 1041, 'AI-', 5),
    ('ANG', 'Angebote', 'Dialoge', true, 20417, 'A', 6),
    ('ANG-EXPORT', 'Angebote Export', 'Dialoge', false, 311, 'AE-', 5),
    ('KD', 'Kundennummern', 'Kunden', true, 10099, '', 0)
ON CONFLICT (nc_ident) DO NOTHING;
