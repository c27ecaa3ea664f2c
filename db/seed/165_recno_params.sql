-- The record-parameter and enumeration frames: their texts, the lookup that adds a parameter to a
-- record and the captions of the parameter grid (field-alias table "preport").
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (13679, '*Bezeichnung eingeben*', '*Enter description*'),
    (26132, 'Auf Defaultwert setzen', 'Set to default value'),
    (26390, 'Der Parameter "%s" ist in der Tabelle %s nicht definiert.',
     'The parameter "%s" is not defined in table %s.'),
    (26391, 'Der Parameter "%s" ist kein Aufzählungsparameter (ptENUM).',
     'The parameter "%s" is not an enumeration parameter (ptENUM).'),
    (26392, 'Der Parameter "%s" ist eine exklusive Aufzählung und kann nicht als Auswahlliste '
            'angezeigt werden.',
     'The parameter "%s" is an exclusive enumeration and cannot be shown as a check list.')
ON CONFLICT (t_nr) DO NOTHING;

-- The parameters defined for the record's table, the one chosen is added with its default.
INSERT INTO f2poss (modulname, feldname, f2_query)
SELECT 'TFrameRecnoParams', 'r_descr',
       'SELECT reg_pname AS parameter, reg_gruppe AS gruppe, reg_default AS vorgabe '
       'FROM recnogroup WHERE reg_tablename = :r_tablename ORDER BY reg_gruppe, reg_pos, reg_pname'
WHERE NOT EXISTS (SELECT 1 FROM f2poss WHERE modulname = 'TFrameRecnoParams'
                                        AND feldname = 'r_descr');

INSERT INTO fieldalias (fa_table, fa_field, fa_alias) VALUES
    ('preport', 'r_descr', 'Parameter'),
    ('preport', 'r_value', 'Wert'),
    ('preport', 'r_min', 'Minimum'),
    ('preport', 'r_unit', 'Einheit'),
    ('preport', 'r_txt', 'Bemerkung'),
    ('preport', 'reg_gruppe', 'Gruppe'),
    ('preport', 'reg_pos', 'Pos.'),
    ('preport', 'reg_paramtype', 'Typ'),
    ('preport', 'reg_visible', 'Sichtbar'),
    ('preport', 'reg_default', 'Vorgabe'),
    ('preport', 'insert_by', 'Angelegt von')
ON CONFLICT (fa_table, fa_field) DO NOTHING;

-- Captions of the enumeration check list.
INSERT INTO tablefieldinfo (tablename, field, alias) VALUES
    ('recnoenums', 'rege_code', 'Code'),
    ('recnoenums', 'rege_bez', 'Bezeichnung'),
    ('recnoenums', 'rege_value', 'Gewählt')
ON CONFLICT (tablename, field) DO UPDATE SET alias = EXCLUDED.alias
    WHERE tablefieldinfo.alias IS NULL AND tablefieldinfo.textno IS NULL;
