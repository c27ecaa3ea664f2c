-- Captions of the sample address table.
INSERT INTO tablefieldinfo (tablename, field, alias) VALUES
    ('adressen', '', 'Adressen'),
    ('adressen', 'dbrid', 'Nr.'),
    ('adressen', 'name', 'Name'),
    ('adressen', 'ort', 'Ort'),
    ('adressen', 'plz', 'PLZ'),
    ('adressen', 'strasse', 'Straße'),
    ('adressen', 'telefon', 'Telefon'),
    ('adressen', 'email', 'E-Mail'),
    ('adressen', 'insert_date', 'Erstellt am'),
    ('adressen', 'insert_by', 'Erstellt von'),
    ('adressen', 'modified_date', 'Geändert am'),
    ('adressen', 'modified_by', 'Geändert von');
