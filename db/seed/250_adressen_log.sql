-- The lookup that shows a record's change log: newest first, who, which field, old and new.
INSERT INTO f2standard (f2s_name, f2s_query) VALUES ('ADRESSEN_AENDERUNGEN',
    'SELECT to_char(al_when, ''DD.MM.YYYY HH24:MI'') AS zeitpunkt, '
    'coalesce(nameAufloesen(al_user), al_user) AS benutzer, al_action AS aktion, '
    'coalesce(al_field, '''') AS feld, coalesce(al_old, '''') AS alt, '
    'coalesce(al_new, '''') AS neu '
    'FROM adressen_log WHERE al_table = ''adressen'' AND al_dbrid = :dbrid '
    'ORDER BY al_when DESC, al_id DESC')
ON CONFLICT (f2s_name) DO UPDATE SET f2s_query = EXCLUDED.f2s_query;
