-- Server functions the forms layer calls.

-- Upper case that folds umlauts to their two-letter spelling, so that "Müller" and "Mueller" meet.
-- IMMUTABLE so that it can back an expression index.
CREATE FUNCTION aeoeue_upper(t text) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
    SELECT upper(replace(replace(replace(replace(replace(replace(replace(t,
        'ä', 'ae'), 'ö', 'oe'), 'ü', 'ue'), 'Ä', 'AE'), 'Ö', 'OE'), 'Ü', 'UE'), 'ß', 'ss'))
$$;

CREATE FUNCTION IFTHEN(cond boolean, a anyelement, b anyelement) RETURNS anyelement
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
    SELECT CASE WHEN cond THEN a ELSE b END
$$;
-- Untyped literals ('a', 'b') cannot resolve a polymorphic call; they land here.
CREATE FUNCTION IFTHEN(cond boolean, a text, b text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
    SELECT CASE WHEN cond THEN a ELSE b END
$$;

-- Display name of a login; NULL when the login is unknown.
CREATE FUNCTION nameAufloesen(login text) RETURNS text
LANGUAGE sql STABLE AS $$
    SELECT nullif(trim(coalesce(m_vorname, '') || ' ' || coalesce(m_name, '')), '')
      FROM mitarbeiter WHERE lower(m_login) = lower(login)
$$;
