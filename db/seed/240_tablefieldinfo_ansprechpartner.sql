-- Captions of the sample contact persons.
INSERT INTO tablefieldinfo (tablename, field, alias) VALUES
    ('ansprechpartner', '', 'Ansprechpartner'),
    ('ansprechpartner', 'dbrid', 'Nr.'),
    ('ansprechpartner', 'adressen_id', 'Adresse'),
    ('ansprechpartner', 'nachname', 'Name'),
    ('ansprechpartner', 'vorname', 'Vorname'),
    ('ansprechpartner', 'funktion', 'Funktion'),
    ('ansprechpartner', 'telefon', 'Telefon'),
    ('ansprechpartner', 'email', 'E-Mail'),
    ('ansprechpartner', 'geburtstag', 'Geburtstag'),
    ('ansprechpartner', 'aktiv', 'Aktiv'),
    ('ansprechpartner', 'insert_date', 'Erstellt am'),
    ('ansprechpartner', 'insert_by', 'Erstellt von'),
    ('ansprechpartner', 'modified_date', 'Geändert am'),
    ('ansprechpartner', 'modified_by', 'Geändert von')
ON CONFLICT (tablename, field) DO UPDATE SET alias = EXCLUDED.alias;
