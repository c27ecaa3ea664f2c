-- The language of the session's user (mitarbeiter.m_sprache of the login the session announced
-- with set_config('korvex.login')); 0, German, for a session without a known user.
CREATE FUNCTION curr_lang() RETURNS integer
LANGUAGE sql STABLE AS $$
    SELECT coalesce((SELECT m_sprache FROM mitarbeiter
                      WHERE lower(m_login) = lower(current_setting('korvex.login', true))), 0)
$$;

-- A text block in a language. Without the block in that language the German one answers, unless
-- p_exact asks for that language alone; null when there is none.
CREATE FUNCTION belarzu__zu_tit__gettxt(p_ident text, p_lang integer, p_exact boolean)
RETURNS text
LANGUAGE sql STABLE AS $$
    SELECT zt_txt FROM zu_tit
     WHERE zt_ident = p_ident
       AND (zt_lang = p_lang OR (NOT p_exact AND zt_lang = 0))
     ORDER BY zt_lang = p_lang DESC
     LIMIT 1
$$;
