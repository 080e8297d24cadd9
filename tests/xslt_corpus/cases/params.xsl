<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:param name="n" select="0"/>
<xsl:param name="s" select="'unset'"/>
<xsl:param name="u" select="'untouched'"/>
<xsl:template match="/"><r n="{$n}" s="{$s}" u="{$u}" t="{$n * 2}"/></xsl:template>
</xsl:stylesheet>
